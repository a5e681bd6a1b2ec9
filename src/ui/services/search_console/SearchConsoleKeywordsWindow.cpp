#include "ui/services/search_console/SearchConsoleKeywordsWindow.h"

namespace veltrano {

namespace {

KeywordListWindow::Layout windowLayout()
{
    // The query and the page share what the four figures, as wide as their
    // captions, leave.
    return {QStringLiteral("frmKeywords"),
            QStringLiteral("GSC Keywords / Google Trends"),
            {SearchConsoleKeywordsWindow::ClientWidth, SearchConsoleKeywordsWindow::ClientHeight},
            {KeywordColumn::left(QStringLiteral("Query")).stretching(),
             KeywordColumn::left(QStringLiteral("URL")).stretching(),
             KeywordColumn::right(QStringLiteral("Clicks")).fitting(QStringLiteral("0000000")),
             KeywordColumn::right(QStringLiteral("Impressions")), KeywordColumn::right(QStringLiteral("CTR")),
             KeywordColumn::right(QStringLiteral("Avg Position"))},
            QString::fromLatin1(SearchConsoleKeywordsWindow::ProposedExportName),
            QStringLiteral("Google Trends"),
            false};
}

} // namespace

SearchConsoleKeywordsWindow::SearchConsoleKeywordsWindow(QWidget *parent) : KeywordListWindow(windowLayout(), parent) {}

} // namespace veltrano

#include "ui/services/yandex_metrika/YandexMetrikaKeywordsWindow.h"

namespace veltrano {

namespace {

KeywordListWindow::Layout windowLayout()
{
    return {QStringLiteral("frmKeywordsYaMetr"),
            QStringLiteral("YMetrika Keywords"),
            {YandexMetrikaKeywordsWindow::ClientWidth, YandexMetrikaKeywordsWindow::ClientHeight},
            {KeywordColumn::left(QStringLiteral("Query")).fixedAt(170),
             KeywordColumn::left(QStringLiteral("Visits")).fixedAt(70),
             KeywordColumn::right(QStringLiteral("Users")).fixedAt(70),
             KeywordColumn::right(QStringLiteral("Bounce Rate")).fixedAt(90),
             KeywordColumn::right(QStringLiteral("Page Depth")).fixedAt(90),
             KeywordColumn::right(QStringLiteral("Avg Visit Duration Seconds")).fixedAt(150)},
            QString::fromLatin1(YandexMetrikaKeywordsWindow::ProposedExportName),
            QString(), // no chart
            true};
}

} // namespace

YandexMetrikaKeywordsWindow::YandexMetrikaKeywordsWindow(QWidget *parent) : KeywordListWindow(windowLayout(), parent) {}

} // namespace veltrano

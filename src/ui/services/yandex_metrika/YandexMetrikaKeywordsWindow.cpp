#include "ui/services/yandex_metrika/YandexMetrikaKeywordsWindow.h"

#include "services/yandex_metrika/YandexSearchPhrases.h"

namespace veltrano {

namespace {

KeywordListWindow::Layout windowLayout()
{
    const QStringList &captions = YandexSearchPhrases::columnCaptions();
    return {QStringLiteral("frmKeywordsYaMetr"),
            QStringLiteral("YMetrika Keywords"),
            {YandexMetrikaKeywordsWindow::ClientWidth, YandexMetrikaKeywordsWindow::ClientHeight},
            {KeywordColumn::left(captions[0]).fixedAt(170), KeywordColumn::left(captions[1]).fixedAt(70),
             KeywordColumn::right(captions[2]).fixedAt(70), KeywordColumn::right(captions[3]).fixedAt(90),
             KeywordColumn::right(captions[4]).fixedAt(90), KeywordColumn::right(captions[5]).fixedAt(150)},
            QString::fromLatin1(YandexMetrikaKeywordsWindow::ProposedExportName),
            QString(), // no chart
            true};
}

} // namespace

YandexMetrikaKeywordsWindow::YandexMetrikaKeywordsWindow(QWidget *parent) : KeywordListWindow(windowLayout(), parent) {}

} // namespace veltrano

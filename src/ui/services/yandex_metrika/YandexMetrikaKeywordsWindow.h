#pragma once

#include "ui/widgets/KeywordListWindow.h"

namespace veltrano {

// "YMetrika Keywords" (frmKeywordsYaMetr): the search phrases that brought
// visitors to a Yandex Metrika counter's site, with five traffic figures
// each, and their CSV export "export_yametrika_keywords.csv" behind a
// full-width button. No chart.
class YandexMetrikaKeywordsWindow final : public KeywordListWindow {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 689;
    static constexpr int ClientHeight = 313;
    static constexpr const char *ProposedExportName = "export_yametrika_keywords.csv";

    explicit YandexMetrikaKeywordsWindow(QWidget *parent = nullptr);
};

} // namespace veltrano

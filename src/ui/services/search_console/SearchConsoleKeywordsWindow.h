#pragma once

#include "ui/widgets/KeywordListWindow.h"

namespace veltrano {

// "GSC Keywords / Google Trends" (frmKeywords): the search queries of a
// Search Console property with the page each led to and its clicks,
// impressions, click-through rate and position; their CSV export
// "export_gsc_keywords.csv"; and the Google Trends interest of one query in
// the chart "Google Trends". The trend comes through the chart fetcher of
// the window's ports.
class SearchConsoleKeywordsWindow final : public KeywordListWindow {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 860;
    static constexpr int ClientHeight = 560;
    static constexpr const char *ProposedExportName = "export_gsc_keywords.csv";

    explicit SearchConsoleKeywordsWindow(QWidget *parent = nullptr);
};

} // namespace veltrano

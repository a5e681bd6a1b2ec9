#pragma once

#include <QDialog>

namespace veltrano {

// The search queries of a Search Console property, with the Google Trends chart of
// one query and the CSV export.
// Created once at start-up, hidden, and kept for the whole run.
class KeywordsWindow final : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 860;
    static constexpr int ClientHeight = 560;

    explicit KeywordsWindow(QWidget *parent = nullptr);
};

} // namespace veltrano

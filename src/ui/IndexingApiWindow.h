#pragma once

#include <QDialog>

namespace veltrano {

// Submits the selected Search Console pages to the Google Indexing API and lists
// the notifications Google accepted.
// Created once at start-up, hidden, and kept for the whole run.
class IndexingApiWindow final : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 620;
    static constexpr int ClientHeight = 400;

    explicit IndexingApiWindow(QWidget *parent = nullptr);
};

} // namespace veltrano

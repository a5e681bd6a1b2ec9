#pragma once

#include <QDialog>

namespace veltrano {

// The popular search queries of a Yandex Webmaster site, with the daily shows chart
// of one query and the CSV export.
// Created once at start-up, hidden, and kept for the whole run.
class YandexKeywordsWindow final : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 860;
    static constexpr int ClientHeight = 560;

    explicit YandexKeywordsWindow(QWidget *parent = nullptr);
};

} // namespace veltrano

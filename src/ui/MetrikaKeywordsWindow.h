#pragma once

#include <QDialog>

namespace veltrano {

// The search phrases that brought visitors to a Yandex Metrika counter's site,
// with the CSV export.
// Created once at start-up, hidden, and kept for the whole run.
class MetrikaKeywordsWindow final : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 689;
    static constexpr int ClientHeight = 313;

    explicit MetrikaKeywordsWindow(QWidget *parent = nullptr);
};

} // namespace veltrano

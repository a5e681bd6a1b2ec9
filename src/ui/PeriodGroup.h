#pragma once

#include <QGroupBox>

class QComboBox;
class QDateEdit;

namespace veltrano {

// " Period " of a service that reports over days: the preset list
// ("Period:") and the two date pickers ("From / To:"), which only take
// effect when the preset is "Custom".
class PeriodGroup final : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int MaxWidth = 480;

    PeriodGroup(const char *presetName, const char *fromName, const char *toName, QWidget *parent = nullptr);

    QComboBox *presets() const { return m_presets; }
    QDateEdit *fromPicker() const { return m_from; }
    QDateEdit *toPicker() const { return m_to; }

private:
    QComboBox *m_presets = nullptr;
    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
};

} // namespace veltrano

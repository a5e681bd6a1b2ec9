#include "ui/widgets/PeriodGroup.h"

#include "app/ReportingPeriod.h"

#include "ui/widgets/WidgetFactory.h"

#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>

namespace veltrano {

using namespace widgets;

PeriodGroup::PeriodGroup(const char *presetName, const char *fromName, const char *toName, QWidget *parent)
    : QGroupBox(QStringLiteral(" Period "), parent)
{
    auto *form = new QFormLayout(this);
    m_presets = named(new QComboBox, presetName);
    m_presets->addItems(ReportingPeriod::presetNames());
    m_presets->setCurrentIndex(ReportingPeriod::InitialPreset);
    form->addRow(label(QStringLiteral("Period:")), m_presets);

    auto *dates = new QHBoxLayout;
    const QDate today = QDate::currentDate();
    const auto picker = [&](const char *objectName, const QDate &date) {
        auto *edit = named(new QDateEdit, objectName);
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
        edit->setDate(date);
        edit->setEnabled(false);
        edit->setMinimumWidth(130);
        dates->addWidget(edit);
        return edit;
    };
    m_from = picker(fromName, today.addDays(-30));
    m_to = picker(toName, today);
    form->addRow(label(QStringLiteral("From / To:")), dates);
}

void PeriodGroup::bind(ReportingPeriod &period)
{
    m_period = &period;
    showPeriod();
    // "activated": the user's choice of an entry, the same one included;
    // setting the index from code applies no preset.
    connect(m_presets, &QComboBox::activated, &period, &ReportingPeriod::choosePreset);
    connect(m_from, &QDateEdit::dateChanged, &period, &ReportingPeriod::setFrom);
    connect(m_to, &QDateEdit::dateChanged, &period, &ReportingPeriod::setTo);
    connect(&period, &ReportingPeriod::changed, this, &PeriodGroup::showPeriod);
}

void PeriodGroup::showPeriod()
{
    if (!m_period)
        return;
    m_presets->setCurrentIndex(m_period->preset());
    m_from->setDate(m_period->from());
    m_to->setDate(m_period->to());
    m_from->setEnabled(m_period->editable());
    m_to->setEnabled(m_period->editable());
}

} // namespace veltrano

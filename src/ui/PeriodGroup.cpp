#include "ui/PeriodGroup.h"

#include "ui/WidgetFactory.h"

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
    m_presets->addItems({QStringLiteral("This month"), QStringLiteral("This year"), QStringLiteral("Last 7 days"),
                         QStringLiteral("Last 30 days"), QStringLiteral("Last 90 days"),
                         QStringLiteral("Last 180 days"), QStringLiteral("Last 365 days"),
                         QStringLiteral("Previous week"), QStringLiteral("Previous month"), QStringLiteral("Custom")});
    m_presets->setCurrentIndex(3);
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

} // namespace veltrano

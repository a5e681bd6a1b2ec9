#include "ui/services/ServiceSettingsTab.h"

#include <QHBoxLayout>

namespace veltrano {

ServiceSettingsTab::ServiceSettingsTab(ServiceId service, const char *objectName, QWidget *parent)
    : QWidget(parent), m_service(service)
{
    setObjectName(QString::fromLatin1(objectName));
}

void ServiceSettingsTab::place(QWidget *left, QWidget *right, Qt::Alignment leftAlignment)
{
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(left, 0, leftAlignment);
    layout->addWidget(right, 1);
}

} // namespace veltrano

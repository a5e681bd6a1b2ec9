#pragma once

#include "ui/services/ServiceSettingsTab.h"

class QPushButton;
class QTreeWidget;

namespace veltrano {

// "Yandex Webmaster" on the Settings page: the token list (ListBox1), the
// account's verified sites (ListView1: "Domain", "Host") and "Get All
// Keywords" (Button34, enabled once an account is connected).
class YandexWebmasterSettingsTab final : public ServiceSettingsTab {
    Q_OBJECT
public:
    explicit YandexWebmasterSettingsTab(QWidget *parent = nullptr);

    QTreeWidget *sites() const { return m_sites; }
    QPushButton *keywordsButton() const { return m_keywords; }

private:
    QTreeWidget *m_sites = nullptr;
    QPushButton *m_keywords = nullptr;
};

} // namespace veltrano

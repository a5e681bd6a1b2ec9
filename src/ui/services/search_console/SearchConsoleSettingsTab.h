#pragma once

#include "ui/services/ServiceSettingsTab.h"

class QAction;
class QMenu;
class QPushButton;
class QTreeWidget;

namespace veltrano {

// "Google Search Console" on the Settings page: the token list (ListBox3),
// whose "Add" (Button11) offers the two Google sign-ins of PopupMenu2
// ("Search Console", "Indexing API"); the account's properties (ListView3:
// "Domain", "Host") and "Get All Keywords" (Button32).
class SearchConsoleSettingsTab final : public ServiceSettingsTab {
    Q_OBJECT
public:
    explicit SearchConsoleSettingsTab(QWidget *parent = nullptr);

    QTreeWidget *properties() const { return m_properties; }
    QPushButton *keywordsButton() const { return m_keywords; }
    QMenu *signInMenu() const { return m_signInMenu; }
    QAction *searchConsoleSignIn() const { return m_searchConsoleSignIn; }
    QAction *indexingApiSignIn() const { return m_indexingApiSignIn; }
    std::vector<std::pair<SignInTarget, QAction *>> signInActions() const override
    {
        return {{SignInTarget::SearchConsole, m_searchConsoleSignIn}, {SignInTarget::IndexingApi, m_indexingApiSignIn}};
    }

private:
    QTreeWidget *m_properties = nullptr;
    QPushButton *m_keywords = nullptr;
    QMenu *m_signInMenu = nullptr;
    QAction *m_searchConsoleSignIn = nullptr;
    QAction *m_indexingApiSignIn = nullptr;
};

} // namespace veltrano

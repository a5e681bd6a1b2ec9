#pragma once

#include <QGroupBox>

class QListWidget;
class QPushButton;

namespace veltrano {

// The " Token List " group of a service's settings tab: the aliases of the
// connected accounts and the buttons that manage them. The accounts
// controller gives the buttons their work.
class TokenListGroup final : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int FixedWidth = 360;

    struct Names {
        const char *list;    // ListBox1 ...
        const char *add;     // Button3 ...
        const char *rename;  // Button4 ...
        const char *remove;  // Button5 ...
        const char *connect; // Button6 ...
    };

    explicit TokenListGroup(const Names &names, QWidget *parent = nullptr);

    QListWidget *list() const { return m_list; }
    QPushButton *addButton() const { return m_add; }
    QPushButton *renameButton() const { return m_rename; }
    QPushButton *deleteButton() const { return m_delete; }
    QPushButton *connectButton() const { return m_connect; }

private:
    QListWidget *m_list = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_rename = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_connect = nullptr;
};

} // namespace veltrano

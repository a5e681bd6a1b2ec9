#pragma once

#include <QHash>
#include <QString>

#include <vector>

namespace veltrano {

// What the last run of a report's check made of each row: answered, failed,
// or not reached (the run was cancelled, ended on an error or a spent quota
// before the row). Rows are known by their URL, which is unique in a table
// and stays with its row through sorts; a row the last run did not take
// (another site's) has no state.
//
// Besides the rows, the run's check and what it used (the site, account and
// period as the line above the report names them), so that a continued run
// can tell whether it would ask the same question.
class RowRunStates final {
public:
    enum class State { None, Answered, Failed, NotReached };

    // A new run of `check` using `target` takes these rows: every earlier
    // state goes, these rows are not reached yet.
    void begin(const QString &check, const QString &target, const std::vector<QString> &urls);
    // A continued run: the states stay, the rows it takes are set again as
    // it answers them.
    void set(const QString &url, State state);
    State state(const QString &url) const { return m_states.value(url, State::None); }

    // Rows not reached or failed.
    int rowsLeft() const { return m_left; }
    bool isLeft(const QString &url) const
    {
        const State s = state(url);
        return s == State::NotReached || s == State::Failed;
    }
    const QString &check() const { return m_check; }
    const QString &target() const { return m_target; }

    // The row left the table.
    void forget(const QString &url);
    void clear();

    // Every row with a state, for saving.
    const QHash<QString, State> &all() const { return m_states; }
    // Restores saved states as they were.
    void restore(const QString &check, const QString &target, QHash<QString, State> states);

private:
    static bool left(State s) { return s == State::NotReached || s == State::Failed; }

    QString m_check;
    QString m_target;
    QHash<QString, State> m_states;
    int m_left = 0;
};

} // namespace veltrano

#include "app/RowRunStates.h"

namespace veltrano {

void RowRunStates::begin(const QString &check, const QString &target, const std::vector<QString> &urls)
{
    m_check = check;
    m_target = target;
    m_states.clear();
    m_states.reserve(qsizetype(urls.size()));
    for (const QString &url : urls)
        m_states.insert(url, State::NotReached);
    m_left = int(m_states.size());
}

void RowRunStates::set(const QString &url, State state)
{
    auto it = m_states.find(url);
    if (it == m_states.end()) {
        if (state == State::None)
            return;
        it = m_states.insert(url, State::None);
    }
    m_left += int(left(state)) - int(left(it.value()));
    if (state == State::None)
        m_states.erase(it);
    else
        it.value() = state;
}

void RowRunStates::forget(const QString &url)
{
    set(url, State::None);
}

void RowRunStates::clear()
{
    m_check.clear();
    m_target.clear();
    m_states.clear();
    m_left = 0;
}

void RowRunStates::restore(const QString &check, const QString &target, QHash<QString, State> states)
{
    m_check = check;
    m_target = target;
    m_states = std::move(states);
    m_states.removeIf([](const auto &entry) { return entry.value() == State::None; });
    m_left = 0;
    for (const State s : std::as_const(m_states))
        m_left += int(left(s));
}

} // namespace veltrano

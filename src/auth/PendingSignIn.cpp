#include "auth/PendingSignIn.h"

namespace veltrano {

PendingSignIn::Entry PendingSignIn::start(SignInTarget target)
{
    Entry pending;
    pending.target = target;
    pending.proof = SignInProof::generate();
    std::lock_guard<std::mutex> lock(m_mutex);
    pending.id = ++m_lastId;
    m_pending = pending;
    return pending;
}

void PendingSignIn::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.reset();
    m_cancelledThrough = m_lastId;
}

bool PendingSignIn::isPending() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending.has_value();
}

SignInTarget PendingSignIn::target() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending ? m_pending->target : SignInTarget::None;
}

std::optional<PendingSignIn::Entry> PendingSignIn::take(const QStringList &states, Refusal &why)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pending) {
        why = Refusal::NotPending;
        return std::nullopt;
    }
    // Exactly the state this sign-in sent, once: a second or differing
    // "state" is as good as a wrong one.
    if (states.size() != 1 || states.first() != m_pending->proof.state) {
        why = Refusal::WrongState;
        return std::nullopt;
    }
    // Taken, so that the same return opened twice, or at once in two tabs,
    // is exchanged only once.
    std::optional<Entry> taken = std::move(m_pending);
    m_pending.reset();
    return taken;
}

bool PendingSignIn::wasCancelled(std::uint64_t id) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return id <= m_cancelledThrough;
}

} // namespace veltrano

#pragma once

#include "app/ServiceDescriptor.h"
#include "auth/SignInProof.h"

#include <QStringList>

#include <cstdint>
#include <mutex>
#include <optional>

namespace veltrano {

// The one sign-in the program waits for: the last one started, until it
// comes back with its code, is cancelled, or a newer one replaces it. Each
// carries a random state and a PKCE code verifier. Shared between the GUI
// thread (start, cancel) and the listener's threads (take).
class PendingSignIn final {
public:
    struct Entry {
        std::uint64_t id = 0;
        SignInTarget target = SignInTarget::None;
        SignInProof proof;
    };
    enum class Refusal { NotPending, WrongState };

    // A new pending sign-in with a fresh proof, replacing an earlier one.
    Entry start(SignInTarget target);
    // The user gave up waiting: the pending sign-in, and one whose code is
    // being exchanged right now, will store nothing.
    void cancel();
    bool isPending() const;
    SignInTarget target() const;
    // Takes the pending sign-in when the return carries exactly its state,
    // once; tells why not otherwise.
    std::optional<Entry> take(const QStringList &states, Refusal &why);
    bool wasCancelled(std::uint64_t id) const;

private:
    mutable std::mutex m_mutex;
    std::optional<Entry> m_pending;
    std::uint64_t m_lastId = 0;
    std::uint64_t m_cancelledThrough = 0; // sign-ins up to this id were cancelled
};

} // namespace veltrano

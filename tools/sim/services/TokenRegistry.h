#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace veltrano::sim {

// The access tokens the simulated authorization servers have issued, shared
// by every module of one simulator: a token that the Yandex OAuth module hands
// out is accepted by the Yandex Webmaster module, a Google token carries the
// scope the user granted. Tests may also register tokens directly. Safe to
// use from the connection threads.
class TokenRegistry final {
public:
    struct Grant {
        std::string issuer;   // "yandex" or "google"
        std::string clientId; // the application the token was issued to ("" when registered directly)
        std::string scope;    // the granted scope, as the authorization request named it
        long long userId = 0; // the account the token speaks for
    };

    void add(const std::string &token, Grant grant);
    // A token that stops working at expiresAt (its expires_in ran out).
    void add(const std::string &token, Grant grant, std::chrono::steady_clock::time_point expiresAt);
    // The grant of a live token; an expired token is found no more, so every
    // API answers it as it answers a token it does not know.
    std::optional<Grant> find(const std::string &token) const;
    bool remove(const std::string &token);
    void clear();
    size_t size() const;

private:
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, Grant> m_tokens;
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> m_expiry;
};

} // namespace veltrano::sim

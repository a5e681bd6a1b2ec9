#pragma once

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
    std::optional<Grant> find(const std::string &token) const;
    bool remove(const std::string &token);
    void clear();
    size_t size() const;

private:
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, Grant> m_tokens;
};

} // namespace veltrano::sim

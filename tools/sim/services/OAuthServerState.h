#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <string_view>

namespace veltrano::sim {

// What one simulated OAuth 2.0 authorization server remembers between the
// authorization request and the token request (RFC 6749, section 4.1): the
// registered clients, the codes it has handed out and whether each was
// redeemed, and the simulated user's answer on the consent page. Shared by a
// module's handlers on the connection threads, so every member locks.
class OAuthServerState final {
public:
    // An authorization code as issued: to whom, for which redirect address
    // and scope.
    struct CodeGrant {
        std::string clientId;
        std::string redirectUri;
        std::string scope;
    };

    enum class Redemption {
        Granted,       // first use of a live code by its own client
        UnknownCode,   // never issued here
        AlreadyUsed,   // redeemed before
        Expired,       // older than the code lifetime
        OtherClient,   // issued to another client
        OtherRedirect, // the token request names another redirect address
    };

    OAuthServerState();

    void addClient(const std::string &clientId, const std::string &secret);
    bool knowsClient(const std::string &clientId) const;
    bool secretMatches(const std::string &clientId, const std::string &secret) const;

    // The simulated user refuses every consent page while set.
    void setRefuseAccess(bool refuse);
    bool refusesAccess() const;

    // The account that the tokens issued from now on speak for.
    void setUserId(long long userId);
    long long userId() const;

    void setCodeLifetime(std::chrono::seconds lifetime);

    // Remembers a new code for grant and returns it; makeCode draws a
    // candidate text from the server's random source until it is unused.
    template <typename MakeCode> std::string issueCode(const CodeGrant &grant, MakeCode makeCode)
    {
        std::lock_guard lock(m_mutex);
        std::string code;
        do
            code = makeCode(m_random);
        while (m_codes.count(code) != 0);
        m_codes[code] = {grant, std::chrono::steady_clock::now(), false};
        return code;
    }

    // Redeems a code: only the first redemption by its own client, within
    // the code lifetime, is granted. checkRedirect also requires the
    // redirect address of the authorization request. A code that was tried
    // by its own client is used up even when the redirect address was wrong.
    Redemption redeem(const std::string &code, const std::string &clientId, const std::string &redirectUri,
                      bool checkRedirect, CodeGrant &grant);

    // Random text for tokens, drawn under the server's lock.
    std::string randomText(std::string_view alphabet, size_t length);

private:
    struct IssuedCode {
        CodeGrant grant;
        std::chrono::steady_clock::time_point issuedAt;
        bool used = false;
    };

    mutable std::mutex m_mutex;
    std::mt19937_64 m_random;
    std::map<std::string, std::string> m_clients; // client id -> secret
    std::map<std::string, IssuedCode> m_codes;
    bool m_refuseAccess = false;
    long long m_userId = 0;
    std::chrono::seconds m_codeLifetime{600};
};

} // namespace veltrano::sim

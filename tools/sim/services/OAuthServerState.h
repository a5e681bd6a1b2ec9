#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace veltrano::sim {

// What one simulated OAuth 2.0 authorization server remembers between the
// authorization request and the token request (RFC 6749, section 4.1): the
// registered clients, the codes it has handed out with the PKCE challenge
// that came with each (RFC 7636) and whether each was redeemed, and the
// simulated user's answer on the consent page. Shared by a module's handlers
// on the connection threads, so every member locks.
class OAuthServerState final {
public:
    // An authorization code as issued: to whom, for which redirect address
    // and scope.
    struct CodeGrant {
        std::string clientId;
        std::string redirectUri;
        std::string scope;
        // PKCE: the code_challenge of the authorization request and its
        // method, "S256" or "plain"; both empty when none came.
        std::string codeChallenge;
        std::string codeChallengeMethod;
        // The state the authorization request carried (sent back unchanged
        // with the code), for the record of sign-ins.
        bool stateSent = false;
        std::string state;
    };

    enum class Redemption {
        Granted,            // first use of a live code by its own client
        UnknownCode,        // never issued here
        AlreadyUsed,        // redeemed before
        Expired,            // older than the code lifetime
        OtherClient,        // issued to another client
        OtherRedirect,      // the token request names another redirect address
        MissingVerifier,    // a challenge came with the authorization, no code_verifier now
        WrongVerifier,      // the code_verifier does not give the challenge
        UnexpectedVerifier, // a code_verifier for a code issued without a challenge
    };

    // One authorization answered with a code, as a test or the sandbox's
    // user looks at it afterwards: what came with it and how its redemption
    // went ("not redeemed", "granted", "missing code_verifier", ...).
    struct SignInRecord {
        std::string clientId;
        bool stateSent = false;
        std::string state;
        std::string codeChallengeMethod; // empty: no PKCE
        std::string redemption;
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

    // An application the user registered themselves: a client id of the
    // service's form that this server has not heard of is taken as
    // registered, and the first secret sent for it in a token request
    // becomes its secret (every later one must match).
    void adoptClient(const std::string &clientId);

    // The lifetime of the access tokens issued from now on, as expires_in
    // says it; 0: the server's own (Google 3599 s, Yandex a year). Tests
    // shorten it to see tokens expire. The process-wide default comes from
    // veltrano-sim --token-lifetime.
    void setAccessTokenLifetime(std::chrono::seconds lifetime);
    std::chrono::seconds accessTokenLifetime(std::chrono::seconds serverDefault) const;
    static void setDefaultAccessTokenLifetime(std::chrono::seconds lifetime);

    // Refresh tokens (RFC 6749, section 6): issued with an access token,
    // redeemed by the client they were issued to until revoked.
    struct RefreshGrant {
        std::string clientId;
        std::string scope;
        long long userId = 0;
        bool revoked = false;
    };
    void addRefreshToken(const std::string &refreshToken, RefreshGrant grant);
    enum class RefreshRedemption { Granted, Unknown, Revoked, OtherClient };
    RefreshRedemption redeemRefresh(const std::string &refreshToken, const std::string &clientId,
                                    RefreshGrant &grant) const;
    // Revokes one refresh token, or every one when token is empty (the user
    // took the access back, or changed the password); returns how many.
    size_t revokeRefreshTokens(const std::string &refreshToken = {});

    // Remembers a new code for grant and returns it; makeCode draws a
    // candidate text from the server's random source until it is unused.
    template <typename MakeCode> std::string issueCode(const CodeGrant &grant, MakeCode makeCode)
    {
        std::lock_guard lock(m_mutex);
        std::string code;
        do
            code = makeCode(m_random);
        while (m_codes.count(code) != 0);
        m_codes[code] = {grant, std::chrono::steady_clock::now(), false, m_records.size()};
        m_records.push_back({grant.clientId, grant.stateSent, grant.state, grant.codeChallengeMethod, "not redeemed"});
        return code;
    }

    // Redeems a code: only the first redemption by its own client, within
    // the code lifetime, is granted. checkRedirect also requires the
    // redirect address of the authorization request. When the authorization
    // carried a PKCE challenge, codeVerifier must give it; refuseUnexpected
    // also refuses a verifier for a code issued without one. A code that was
    // tried by its own client is used up even when the rest was wrong.
    Redemption redeem(const std::string &code, const std::string &clientId, const std::string &redirectUri,
                      bool checkRedirect, const std::string &codeVerifier, bool refuseUnexpected, CodeGrant &grant);

    // Every authorization answered with a code so far, oldest first.
    std::vector<SignInRecord> signIns() const;

    // PKCE: a challenge method this server takes ("S256", "plain"), and
    // the form RFC 7636 gives a challenge or a verifier: 43 to 128
    // characters of A-Z, a-z, 0-9, "-", ".", "_", "~".
    static bool isChallengeMethod(const std::string &method);
    static bool isPkceText(const std::string &text);
    // Whether verifier gives challenge: BASE64URL(SHA-256(verifier)) for
    // S256, the verifier itself for plain.
    static bool verifierMatches(const std::string &verifier, const std::string &challenge, const std::string &method);

    // Random text for tokens, drawn under the server's lock.
    std::string randomText(std::string_view alphabet, size_t length);

private:
    struct IssuedCode {
        CodeGrant grant;
        std::chrono::steady_clock::time_point issuedAt;
        bool used = false;
        size_t record = 0; // index in m_records
    };

    mutable std::mutex m_mutex;
    std::mt19937_64 m_random;
    // client id -> secret; an adopted client gets its secret on first use
    mutable std::map<std::string, std::string> m_clients;
    std::map<std::string, IssuedCode> m_codes;
    std::vector<SignInRecord> m_records;
    bool m_refuseAccess = false;
    long long m_userId = 0;
    std::chrono::seconds m_codeLifetime{600};
    std::chrono::seconds m_accessTokenLifetime{0};
    std::map<std::string, RefreshGrant> m_refreshTokens;
};

} // namespace veltrano::sim

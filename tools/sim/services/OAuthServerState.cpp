#include "OAuthServerState.h"

#include "ServiceSupport.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <atomic>

namespace veltrano::sim {

OAuthServerState::OAuthServerState() : m_random(std::random_device{}()) {}

void OAuthServerState::addClient(const std::string &clientId, const std::string &secret)
{
    std::lock_guard lock(m_mutex);
    m_clients[clientId] = secret;
}

bool OAuthServerState::knowsClient(const std::string &clientId) const
{
    std::lock_guard lock(m_mutex);
    return m_clients.count(clientId) != 0;
}

bool OAuthServerState::secretMatches(const std::string &clientId, const std::string &secret) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_clients.find(clientId);
    if (it == m_clients.end())
        return false;
    if (it->second.empty() && !secret.empty()) {
        // An adopted application: its first secret is the registered one.
        it->second = secret;
        return true;
    }
    return it->second == secret;
}

void OAuthServerState::adoptClient(const std::string &clientId)
{
    std::lock_guard lock(m_mutex);
    m_clients.emplace(clientId, std::string());
}

namespace {
std::atomic<long long> defaultAccessTokenLifetime{0};
} // namespace

void OAuthServerState::setAccessTokenLifetime(std::chrono::seconds lifetime)
{
    std::lock_guard lock(m_mutex);
    m_accessTokenLifetime = lifetime;
}

std::chrono::seconds OAuthServerState::accessTokenLifetime(std::chrono::seconds serverDefault) const
{
    std::lock_guard lock(m_mutex);
    if (m_accessTokenLifetime.count() > 0)
        return m_accessTokenLifetime;
    const long long processDefault = defaultAccessTokenLifetime.load();
    return processDefault > 0 ? std::chrono::seconds(processDefault) : serverDefault;
}

void OAuthServerState::setDefaultAccessTokenLifetime(std::chrono::seconds lifetime)
{
    defaultAccessTokenLifetime = lifetime.count();
}

void OAuthServerState::addRefreshToken(const std::string &refreshToken, RefreshGrant grant)
{
    std::lock_guard lock(m_mutex);
    m_refreshTokens[refreshToken] = std::move(grant);
}

OAuthServerState::RefreshRedemption OAuthServerState::redeemRefresh(const std::string &refreshToken,
                                                                    const std::string &clientId,
                                                                    RefreshGrant &grant) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_refreshTokens.find(refreshToken);
    if (it == m_refreshTokens.end())
        return RefreshRedemption::Unknown;
    if (it->second.clientId != clientId)
        return RefreshRedemption::OtherClient;
    if (it->second.revoked)
        return RefreshRedemption::Revoked;
    grant = it->second;
    return RefreshRedemption::Granted;
}

size_t OAuthServerState::revokeRefreshTokens(const std::string &refreshToken)
{
    std::lock_guard lock(m_mutex);
    size_t count = 0;
    for (auto &[token, grant] : m_refreshTokens) {
        if ((refreshToken.empty() || token == refreshToken) && !grant.revoked) {
            grant.revoked = true;
            ++count;
        }
    }
    return count;
}

void OAuthServerState::setRefuseAccess(bool refuse)
{
    std::lock_guard lock(m_mutex);
    m_refuseAccess = refuse;
}

bool OAuthServerState::refusesAccess() const
{
    std::lock_guard lock(m_mutex);
    return m_refuseAccess;
}

void OAuthServerState::setUserId(long long userId)
{
    std::lock_guard lock(m_mutex);
    m_userId = userId;
}

long long OAuthServerState::userId() const
{
    std::lock_guard lock(m_mutex);
    return m_userId;
}

void OAuthServerState::setCodeLifetime(std::chrono::seconds lifetime)
{
    std::lock_guard lock(m_mutex);
    m_codeLifetime = lifetime;
}

OAuthServerState::Redemption OAuthServerState::redeem(const std::string &code, const std::string &clientId,
                                                      const std::string &redirectUri, bool checkRedirect,
                                                      const std::string &codeVerifier, bool refuseUnexpected,
                                                      CodeGrant &grant)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_codes.find(code);
    if (it == m_codes.end())
        return Redemption::UnknownCode;
    IssuedCode &issued = it->second;
    if (issued.grant.clientId != clientId)
        return Redemption::OtherClient;
    if (issued.used)
        return Redemption::AlreadyUsed;
    issued.used = true;
    std::string &record = m_records[issued.record].redemption;
    const auto refused = [&](Redemption why, const char *text) {
        record = text;
        return why;
    };
    if (std::chrono::steady_clock::now() - issued.issuedAt > m_codeLifetime)
        return refused(Redemption::Expired, "code expired");
    if (checkRedirect && issued.grant.redirectUri != redirectUri)
        return refused(Redemption::OtherRedirect, "other redirect_uri");
    if (!issued.grant.codeChallenge.empty()) {
        if (codeVerifier.empty())
            return refused(Redemption::MissingVerifier, "missing code_verifier");
        if (!verifierMatches(codeVerifier, issued.grant.codeChallenge, issued.grant.codeChallengeMethod))
            return refused(Redemption::WrongVerifier, "wrong code_verifier");
        record = "granted, " + issued.grant.codeChallengeMethod + " code_verifier valid";
    } else if (!codeVerifier.empty() && refuseUnexpected) {
        return refused(Redemption::UnexpectedVerifier, "code_verifier without a challenge");
    } else {
        record = "granted without PKCE";
    }
    grant = issued.grant;
    return Redemption::Granted;
}

std::vector<OAuthServerState::SignInRecord> OAuthServerState::signIns() const
{
    std::lock_guard lock(m_mutex);
    return m_records;
}

bool OAuthServerState::isChallengeMethod(const std::string &method)
{
    return method == "S256" || method == "plain";
}

bool OAuthServerState::isPkceText(const std::string &text)
{
    if (text.size() < 43 || text.size() > 128)
        return false;
    return text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~") ==
           std::string::npos;
}

bool OAuthServerState::verifierMatches(const std::string &verifier, const std::string &challenge,
                                       const std::string &method)
{
    if (method == "plain")
        return verifier == challenge;
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char *>(verifier.data()), verifier.size(), digest);
    std::string encoded(4 * ((sizeof digest + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char *>(encoded.data()), digest, int(sizeof digest));
    encoded.resize(size_t(n));
    // base64url without padding
    while (!encoded.empty() && encoded.back() == '=')
        encoded.pop_back();
    for (char &c : encoded) {
        if (c == '+')
            c = '-';
        else if (c == '/')
            c = '_';
    }
    return encoded == challenge;
}

std::string OAuthServerState::randomText(std::string_view alphabet, size_t length)
{
    std::lock_guard lock(m_mutex);
    return support::randomText(m_random, alphabet, length);
}

} // namespace veltrano::sim

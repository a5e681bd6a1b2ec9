#include "TokenRegistry.h"

namespace veltrano::sim {

void TokenRegistry::add(const std::string &token, Grant grant)
{
    std::lock_guard lock(m_mutex);
    m_tokens[token] = std::move(grant);
    m_expiry.erase(token);
}

void TokenRegistry::add(const std::string &token, Grant grant, std::chrono::steady_clock::time_point expiresAt)
{
    std::lock_guard lock(m_mutex);
    m_tokens[token] = std::move(grant);
    m_expiry[token] = expiresAt;
}

std::optional<TokenRegistry::Grant> TokenRegistry::find(const std::string &token) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_tokens.find(token);
    if (it == m_tokens.end())
        return std::nullopt;
    if (const auto expiry = m_expiry.find(token);
        expiry != m_expiry.end() && std::chrono::steady_clock::now() >= expiry->second)
        return std::nullopt;
    return it->second;
}

bool TokenRegistry::remove(const std::string &token)
{
    std::lock_guard lock(m_mutex);
    m_expiry.erase(token);
    return m_tokens.erase(token) > 0;
}

void TokenRegistry::clear()
{
    std::lock_guard lock(m_mutex);
    m_tokens.clear();
    m_expiry.clear();
}

size_t TokenRegistry::size() const
{
    std::lock_guard lock(m_mutex);
    return m_tokens.size();
}

} // namespace veltrano::sim

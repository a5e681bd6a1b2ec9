#include "Ga4Accounts.h"

#include "DemoAccounts.h"
#include "TokenRegistry.h"

namespace veltrano::sim {

void Ga4Accounts::setAccounts(long long userId, std::vector<Account> accounts)
{
    auto shared = std::make_shared<const std::vector<Account>>(std::move(accounts));
    std::lock_guard lock(m_mutex);
    m_accounts[userId] = std::move(shared);
}

std::shared_ptr<const std::vector<Ga4Accounts::Account>> Ga4Accounts::accountsOf(long long userId) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_accounts.find(userId);
    return it == m_accounts.end() ? nullptr : it->second;
}

Ga4Accounts::Settings Ga4Accounts::settings() const
{
    std::lock_guard lock(m_mutex);
    return m_settings;
}

void Ga4Accounts::setSettings(const Settings &settings)
{
    std::lock_guard lock(m_mutex);
    m_settings = settings;
}

bool Ga4Accounts::takeReportTokens(Settings *after)
{
    std::lock_guard lock(m_mutex);
    const long long cost = m_settings.tokensPerReport;
    if (m_settings.tokensPerHour < cost || m_settings.tokensPerDay < cost) {
        *after = m_settings;
        return false;
    }
    m_settings.tokensPerHour -= cost;
    m_settings.tokensPerDay -= cost;
    *after = m_settings;
    return true;
}

std::vector<Ga4Accounts::Account> Ga4Accounts::generated(size_t count, size_t properties, long long firstId)
{
    std::vector<Account> accounts;
    accounts.reserve(count);
    long long next = firstId;
    for (size_t a = 0; a < count; ++a) {
        Account account{std::to_string(next++), "GA4 Account " + std::to_string(a + 1), {}};
        for (size_t p = 0; p < properties; ++p) {
            Property property;
            property.id = std::to_string(next++);
            property.name = "Property " + std::to_string(a + 1) + "." + std::to_string(p + 1);
            property.madeUpPages = true;
            account.properties.push_back(std::move(property));
        }
        accounts.push_back(std::move(account));
    }
    return accounts;
}

void Ga4Accounts::installDemoData()
{
    // The furniture shop's account holds its GA4 property beside the
    // Universal Analytics ones; a new account has no property yet.
    Property shop;
    shop.id = "312345678";
    shop.name = "example.com";
    shop.madeUpPages = true;
    // The pages of the site that had visits, so that the property's whole-site
    // report lists them with the figures each page's own report gives.
    for (const char *path : {"/", "/delivery/", "/contacts/", "/sale/", "/catalog/kreslo/uyut/", "/catalog/",
                             "/blog/", "/about/"}) {
        PageTotals totals;
        if (AnalyticsModule::madeUpTotals(shop.id, path, &totals))
            shop.pages.emplace(path, totals);
    }
    Property russian;
    russian.id = "398765432";
    russian.name = "пример.рф";
    russian.madeUpPages = true;
    setAccounts(demo::kGoogleUserId, {{"40112233", "Example Furniture", {shop}},
                                      {"3000000001", "Мебель «Уют»", {russian}},
                                      {"250000001", "New Agency Account", {}}});
    AnalyticsModule(m_tokens).acceptToken(demo::kGoogleToken, demo::kGoogleUserId);
}

} // namespace veltrano::sim

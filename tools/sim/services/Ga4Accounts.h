#pragma once

#include "AnalyticsModule.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace veltrano::sim {

class TokenRegistry;

// The Google Analytics 4 accounts the simulated Admin and Data APIs share
// (AnalyticsAdminModule lists them, AnalyticsDataModule reports on their
// properties), and the property quota the Data API counts down. Safe to use
// from the connection threads.
class Ga4Accounts final {
public:
    using PageTotals = AnalyticsModule::PageTotals; // bounceRate in percent, as in v3

    struct Property {
        std::string id; // decimal text
        std::string name;
        // Figures by page path with its query string ("/a?b=1"); a property
        // with madeUpPages knows every page an exact filter names (one path
        // in ten has no visits).
        std::map<std::string, PageTotals> pages;
        bool madeUpPages = false;
    };

    struct Account {
        std::string id;
        std::string name;
        std::vector<Property> properties;
    };

    // What the simulated service does, changed by tests or on the control
    // interface.
    struct Settings {
        long long tokensPerHour = 40000; // what remains of the hour's tokens
        long long tokensPerDay = 200000;
        long long tokensPerReport = 1;   // what one runReport costs
        bool reversedMetricHeaders = false; // metric headers and values in reverse order
    };

    explicit Ga4Accounts(std::shared_ptr<TokenRegistry> tokens) : m_tokens(std::move(tokens)) {}

    TokenRegistry &tokens() const { return *m_tokens; }

    void setAccounts(long long userId, std::vector<Account> accounts);
    std::shared_ptr<const std::vector<Account>> accountsOf(long long userId) const;

    Settings settings() const;
    void setSettings(const Settings &settings);
    // Takes the tokens of one report; false (nothing taken) when the hour's
    // or the day's tokens are spent. *after gets the state after it.
    bool takeReportTokens(Settings *after);

    // count accounts holding properties properties each, ids from firstId on.
    static std::vector<Account> generated(size_t count, size_t properties, long long firstId = 200000000);

    // The demo user's GA4 accounts, and the demo token with the
    // analytics.readonly scope.
    void installDemoData();

private:
    std::shared_ptr<TokenRegistry> m_tokens;
    mutable std::mutex m_mutex;
    std::map<long long, std::shared_ptr<const std::vector<Account>>> m_accounts;
    Settings m_settings;
};

} // namespace veltrano::sim

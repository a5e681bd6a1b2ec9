#include "services/google/GoogleSignInDescriptor.h"

namespace veltrano {

const OAuthApplication &googleOAuthApplication()
{
    static const OAuthApplication application{QLatin1String("Google"),
                                              OAuthApplication::Host::GoogleAccounts,
                                              QLatin1String("/o/oauth2/auth/oauthchooseaccount"),
                                              QLatin1String("/o/oauth2/token"),
                                              &Endpoints::googleClientId,
                                              &Endpoints::googleClientSecret,
                                              QLatin1String(
                                                  "In the Google Cloud console (https://console.cloud.google.com/), "
                                                  "enable the Google Search Console API, the Web Search Indexing API "
                                                  "and the Google Analytics API; set up the OAuth consent screen with "
                                                  "the scopes .../auth/webmasters.readonly, .../auth/indexing and "
                                                  ".../auth/analytics.readonly; then under Credentials create an "
                                                  "OAuth client ID of type \"Web application\" with the authorized "
                                                  "redirect URI %1. A consent screen left in \"Testing\" lets "
                                                  "Google end every sign-in after seven days."),
                                              true};
    return application;
}

} // namespace veltrano

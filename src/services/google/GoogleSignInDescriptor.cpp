#include "services/google/GoogleSignInDescriptor.h"

namespace veltrano {

const OAuthApplication &googleOAuthApplication()
{
    static const OAuthApplication application{QLatin1String("Google"),
                                              OAuthApplication::Host::GoogleAccounts,
                                              QLatin1String("/o/oauth2/auth/oauthchooseaccount"),
                                              QLatin1String("/o/oauth2/token"),
                                              &Endpoints::googleClientId,
                                              &Endpoints::googleClientSecret};
    return application;
}

} // namespace veltrano

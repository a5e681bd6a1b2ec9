#pragma once

#include "app/Endpoints.h"
#include "app/ServiceDescriptor.h"
#include "auth/OAuthApplicationSettings.h"
#include "auth/OAuthAuthenticator.h"

#include <map>

namespace veltrano {

// One OAuth client per sign-in the services offer, configured from their
// descriptors: the application's endpoints and credentials, the scope the
// sign-in asks, and the program's redirect address.
class OAuthClients final {
public:
    explicit OAuthClients(const Endpoints &endpoints);

    // The client of a sign-in; nullptr for None or a target no service offers.
    OAuthAuthenticator *of(SignInTarget target);

    // The configuration of a sign-in with the build-time client credentials,
    // or with the given ones.
    static OAuthAuthenticator::Config configFor(const SignInKind &kind, const Endpoints &endpoints);
    static OAuthAuthenticator::Config configFor(const SignInKind &kind, const Endpoints &endpoints,
                                                const OAuthCredentials &credentials);

private:
    std::map<SignInTarget, OAuthAuthenticator> m_clients;
};

} // namespace veltrano

#pragma once

#include "app/Endpoints.h"
#include "app/ServiceDescriptor.h"
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

    static OAuthAuthenticator::Config configFor(const SignInKind &kind, const Endpoints &endpoints);

private:
    std::map<SignInTarget, OAuthAuthenticator> m_clients;
};

} // namespace veltrano

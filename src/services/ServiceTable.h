#pragma once

#include "app/ServiceDescriptor.h"

#include <QLatin1String>

#include <vector>

namespace veltrano {

// The registry of services: one descriptor per report tab, in tab order.
// The list itself is made where the services are (services/ServiceRegistry),
// so that adding a service adds its folders and one line there.
class ServiceTable final {
public:
    static const std::vector<const ServiceDescriptor *> &all();
    static int count() { return int(all().size()); }
    static const ServiceDescriptor &of(ServiceId id);
    // The service of a report tab (from 0); nullptr for any other number.
    static const ServiceDescriptor *ofTab(int tab);
    // The service of a tag (from 1); nullptr for any other tag.
    static const ServiceDescriptor *ofTag(int tag);
    // The service that offers a sign-in (the Indexing API sign-in is Search
    // Console's); nullptr for None.
    static const ServiceDescriptor *ofSignIn(SignInTarget target);
    // The sign-in itself; nullptr for None or an unknown target.
    static const SignInKind *signInKind(SignInTarget target);
    // Every sign-in of every service, in tab order.
    static std::vector<const SignInKind *> allSignIns();
};

} // namespace veltrano

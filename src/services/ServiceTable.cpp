#include "services/ServiceTable.h"

namespace veltrano {

const ServiceDescriptor &ServiceTable::of(ServiceId id)
{
    return *all()[size_t(id)];
}

const ServiceDescriptor *ServiceTable::ofTab(int tab)
{
    if (tab < 0 || tab >= count())
        return nullptr;
    return all()[size_t(tab)];
}

const ServiceDescriptor *ServiceTable::ofTag(int tag)
{
    return ofTab(tag - 1);
}

const ServiceDescriptor *ServiceTable::ofSignIn(SignInTarget target)
{
    if (target == SignInTarget::None)
        return nullptr;
    for (const ServiceDescriptor *service : all()) {
        if (service->signInKind(target))
            return service;
    }
    return nullptr;
}

const SignInKind *ServiceTable::signInKind(SignInTarget target)
{
    const ServiceDescriptor *service = ofSignIn(target);
    return service ? service->signInKind(target) : nullptr;
}

std::vector<const SignInKind *> ServiceTable::allSignIns()
{
    std::vector<const SignInKind *> kinds;
    for (const ServiceDescriptor *service : all()) {
        for (const SignInKind &kind : service->signIns)
            kinds.push_back(&kind);
    }
    return kinds;
}

} // namespace veltrano

#pragma once

#include "app/ServiceDescriptor.h"

namespace veltrano {

// The one Google OAuth application that Search Console, the Indexing API
// and Google Analytics sign in to; each asks its own scope.
const OAuthApplication &googleOAuthApplication();

} // namespace veltrano

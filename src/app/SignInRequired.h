#pragma once

#include "app/VeltranoError.h"

namespace veltrano {

// The service no longer accepts the account's sign-in (its token is refused
// and cannot be renewed): nothing goes on until the user signs in again.
// The window shows it like any other error; the command line ends with an
// exit code of its own.
class SignInRequired final : public VeltranoError {
public:
    using VeltranoError::VeltranoError;
};

} // namespace veltrano

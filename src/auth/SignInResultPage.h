#pragma once

#include <QString>

#include <string>

namespace veltrano {

// The short page the browser shows after coming back to the listener:
// "Account connected" or "Sign-in not completed" with a sentence of why.
struct SignInResultPage {
    static std::string html(bool success, const QString &message);
};

} // namespace veltrano

#pragma once

#include <QString>

namespace veltrano {

// How a credential (an access or refresh token, a one-time sign-in code)
// appears in the activity log and the request trace: its first four
// characters and "...", enough to tell two apart, never enough to use one.
// An empty text stays empty.
QString secretPreview(const QString &secret);

} // namespace veltrano

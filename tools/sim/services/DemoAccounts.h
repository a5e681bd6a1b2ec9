#pragma once

// The accounts and applications the simulator knows from the start, so that
// the sandbox program can sign in and list sites without any set-up.

namespace veltrano::sim::demo {

// The OAuth applications of the sandbox build (the client ids and secrets of
// simulatorEndpoints() in src/app/SandboxEndpoints.cpp). The simulated
// authorization servers know them as registered clients.
inline constexpr const char *kYandexWebmasterClientId = "0123456789abcdef0123456789abcdef";
inline constexpr const char *kYandexWebmasterClientSecret = "fedcba9876543210fedcba9876543210";
inline constexpr const char *kYandexMetrikaClientId = "00112233445566778899aabbccddeeff";
inline constexpr const char *kYandexMetrikaClientSecret = "ffeeddccbbaa99887766554433221100";
inline constexpr const char *kGoogleClientId =
    "123456789012-abcdefghijklmnopqrstuvwxyz012345.apps.googleusercontent.com";
inline constexpr const char *kGoogleClientSecret = "GOCSPX-AbCdEfGhIjKlMnOpQrStUvWxYz01";

// The Yandex account of the demo: every Yandex sign-in speaks for it, and
// the demo token below is accepted without a sign-in.
inline constexpr long long kYandexUserId = 1130000012345678LL;
inline constexpr const char *kYandexToken = "y0_VeltranoSandboxDemoToken0000000000000000000000000000";

// The Google account every Google sign-in speaks for, and its demo token,
// accepted without a sign-in with the Search Console (webmasters.readonly)
// scope.
inline constexpr long long kGoogleUserId = 104729000000000000LL;
inline constexpr const char *kGoogleToken =
    "ya29.a0VeltranoSandboxDemoToken000000000000000000000000000000000000000000";

// Ahrefs has no sign-in: the user types the API token. The demo accepts
// any token, this one among them, except the refused one (answered
// "Authentication Error") and the spent one (no rows left on its
// subscription).
inline constexpr const char *kAhrefsToken = "ahrefs0123456789abcdef0123456789abcdef01";
inline constexpr const char *kAhrefsRefusedToken = "refused";
inline constexpr const char *kAhrefsSpentToken = "spent";

} // namespace veltrano::sim::demo

#pragma once

#include "app/Endpoints.h"
#include "app/ServiceDescriptor.h"
#include "auth/SettingsFile.h"

#include <QLatin1String>
#include <QString>

namespace veltrano {

// The client id and secret of an OAuth application the user registered
// with a service.
struct OAuthCredentials {
    QString clientId;
    QString clientSecret;
    bool isEmpty() const { return clientId.isEmpty() && clientSecret.isEmpty(); }
    bool operator==(const OAuthCredentials &) const = default;
};

// The user's own OAuth applications, entered on the Settings page and kept
// in the section "OAuthApplications" of the settings file, two keys per
// application ("Google_ClientId", "Google_ClientSecret"). A sign-in reads
// them when it starts and a renewal when it runs; an application the user
// entered nothing for uses the credentials the program was built with.
class OAuthApplicationSettings final {
public:
    static constexpr QLatin1String Section{"OAuthApplications"};
    // The longest client id or secret taken; real ones are far shorter.
    static constexpr int kMaxLength = 256;

    explicit OAuthApplicationSettings(SettingsFile file);

    // What the file holds for the application (empty when nothing).
    OAuthCredentials stored(const OAuthApplication &application) const;
    // What a sign-in or a renewal sends: the stored credentials, or the
    // build-time ones when none are stored. A stored pair of the wrong form
    // (the file edited by hand) raises VeltranoError naming the problem,
    // before any browser page or request could fail on it.
    OAuthCredentials effective(const OAuthApplication &application, const Endpoints &endpoints) const;

    // Stores a pair after checking it (VeltranoError with the problem when
    // it is of the wrong form); an empty pair removes the stored one, so the
    // build-time credentials count again. One write for both keys.
    void store(const OAuthApplication &application, const OAuthCredentials &credentials);

    // Why the pair cannot be used with the application, in words for the
    // user; empty when it can. Google: "<digits>-<letters and digits>
    // .apps.googleusercontent.com" and a secret of letters, digits, "-" and
    // "_"; Yandex: 32 hexadecimal digits each.
    static QString problem(const OAuthApplication &application, const OAuthCredentials &credentials);

    static QString clientIdKey(const OAuthApplication &application);
    static QString clientSecretKey(const OAuthApplication &application);

private:
    SettingsFile m_file;
};

} // namespace veltrano

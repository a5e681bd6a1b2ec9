#pragma once

#include <QString>

namespace veltrano {

// The two secrets of one sign-in that only this program knows:
// - state: sent with the authorization request and expected back unchanged
//   on the browser's return, so that a return Veltrano did not ask for (a
//   page that sends the browser to the listener with a code of its own
//   choosing) is refused;
// - code verifier: its SHA-256 digest, the code challenge, goes with the
//   authorization request, the verifier itself with the token request, so
//   that a code caught on the way is worth nothing to anyone else (PKCE,
//   method S256, as Yandex and Google accept it from native applications).
struct SignInProof final {
    QString state;
    QString codeVerifier;

    // Fresh random values from the system's secure source: 32 bytes for the
    // state and 48 for the verifier, written in base64url without padding
    // (43 and 64 characters, all of them unreserved in an address).
    static SignInProof generate();

    // BASE64URL(SHA-256(verifier)) without padding: the code challenge.
    static QString challengeOf(const QString &codeVerifier);
    QString codeChallenge() const { return challengeOf(codeVerifier); }

    bool isEmpty() const { return state.isEmpty() && codeVerifier.isEmpty(); }
};

} // namespace veltrano

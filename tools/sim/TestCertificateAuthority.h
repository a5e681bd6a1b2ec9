#pragma once

#include <openssl/types.h>

#include <string>

namespace veltrano::sim {

// A certificate authority that exists only in memory for one simulator:
// its own key and self-signed certificate, and a server certificate signed by
// it for 127.0.0.1, ::1 and localhost. Clients trust the simulator by
// trusting caCertificatePem() and nothing else; no key material is ever kept
// on disk. Generating throws std::runtime_error when OpenSSL fails.
class TestCertificateAuthority final {
public:
    TestCertificateAuthority();
    ~TestCertificateAuthority();
    TestCertificateAuthority(const TestCertificateAuthority &) = delete;
    TestCertificateAuthority &operator=(const TestCertificateAuthority &) = delete;

    std::string caCertificatePem() const;
    std::string serverCertificatePem() const;
    // A new TLS server context (TLS 1.2 or later) with the server certificate
    // and key; the caller frees it with SSL_CTX_free. Null on failure.
    SSL_CTX *createServerContext() const;

private:
    EVP_PKEY *m_caKey = nullptr;
    X509 *m_caCertificate = nullptr;
    EVP_PKEY *m_serverKey = nullptr;
    X509 *m_serverCertificate = nullptr;
};

} // namespace veltrano::sim

#include "TestCertificateAuthority.h"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>

namespace veltrano::sim {

namespace {

[[noreturn]] void fail(const char *what)
{
    const unsigned long code = ERR_get_error();
    char detail[256] = "";
    if (code)
        ERR_error_string_n(code, detail, sizeof detail);
    ERR_clear_error();
    throw std::runtime_error(std::string("test certificate authority: ") + what + (code ? ": " : "") + detail);
}

EVP_PKEY *newKey()
{
    // P-256 keys are made in a moment even in sanitizer builds, unlike RSA.
    EVP_PKEY *key = EVP_EC_gen("P-256");
    if (!key)
        fail("cannot generate a key");
    return key;
}

void addExtension(X509 *certificate, X509 *issuer, int nid, const char *value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        fail("cannot build a certificate extension");
    const int ok = X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
    if (!ok)
        fail("cannot add a certificate extension");
}

// A certificate for key, named commonName, valid from a day ago for a year.
// A null issuer makes it self-signed.
X509 *newCertificate(EVP_PKEY *key, const char *commonName, X509 *issuer)
{
    X509 *certificate = X509_new();
    if (!certificate)
        fail("cannot allocate a certificate");
    X509_set_version(certificate, 2); // version 3

    BIGNUM *serial = BN_new();
    if (!serial || !BN_rand(serial, 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY)
        || !BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(certificate))) {
        BN_free(serial);
        X509_free(certificate);
        fail("cannot set a serial number");
    }
    BN_free(serial);

    X509_gmtime_adj(X509_getm_notBefore(certificate), -24L * 3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 365L * 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME *name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char *>("veltrano-sim"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>(commonName),
                               -1, -1, 0);
    X509_set_issuer_name(certificate, issuer ? X509_get_subject_name(issuer) : name);
    return certificate;
}

std::string toPem(X509 *certificate)
{
    BIO *bio = BIO_new(BIO_s_mem());
    if (!bio || !PEM_write_bio_X509(bio, certificate)) {
        BIO_free(bio);
        fail("cannot write a certificate");
    }
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<size_t>(size));
    BIO_free(bio);
    return pem;
}

} // namespace

TestCertificateAuthority::TestCertificateAuthority()
{
    try {
        m_caKey = newKey();
        m_caCertificate = newCertificate(m_caKey, "veltrano-sim test authority", nullptr);
        addExtension(m_caCertificate, m_caCertificate, NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
        addExtension(m_caCertificate, m_caCertificate, NID_key_usage, "critical,keyCertSign,cRLSign");
        addExtension(m_caCertificate, m_caCertificate, NID_subject_key_identifier, "hash");
        if (!X509_sign(m_caCertificate, m_caKey, EVP_sha256()))
            fail("cannot sign the authority's certificate");

        m_serverKey = newKey();
        m_serverCertificate = newCertificate(m_serverKey, "localhost", m_caCertificate);
        addExtension(m_serverCertificate, m_caCertificate, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(m_serverCertificate, m_caCertificate, NID_key_usage, "critical,digitalSignature");
        addExtension(m_serverCertificate, m_caCertificate, NID_ext_key_usage, "serverAuth");
        addExtension(m_serverCertificate, m_caCertificate, NID_subject_alt_name,
                     "DNS:localhost,IP:127.0.0.1,IP:::1");
        addExtension(m_serverCertificate, m_caCertificate, NID_subject_key_identifier, "hash");
        addExtension(m_serverCertificate, m_caCertificate, NID_authority_key_identifier, "keyid:always");
        if (!X509_sign(m_serverCertificate, m_caKey, EVP_sha256()))
            fail("cannot sign the server certificate");
    } catch (...) {
        X509_free(m_serverCertificate);
        EVP_PKEY_free(m_serverKey);
        X509_free(m_caCertificate);
        EVP_PKEY_free(m_caKey);
        throw;
    }
}

TestCertificateAuthority::~TestCertificateAuthority()
{
    X509_free(m_serverCertificate);
    EVP_PKEY_free(m_serverKey);
    X509_free(m_caCertificate);
    EVP_PKEY_free(m_caKey);
}

std::string TestCertificateAuthority::caCertificatePem() const
{
    return toPem(m_caCertificate);
}

std::string TestCertificateAuthority::serverCertificatePem() const
{
    return toPem(m_serverCertificate);
}

SSL_CTX *TestCertificateAuthority::createServerContext() const
{
    SSL_CTX *context = SSL_CTX_new(TLS_server_method());
    if (!context)
        return nullptr;
    if (!SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION)
        || SSL_CTX_use_certificate(context, m_serverCertificate) != 1
        || SSL_CTX_use_PrivateKey(context, m_serverKey) != 1 || SSL_CTX_check_private_key(context) != 1) {
        ERR_clear_error();
        SSL_CTX_free(context);
        return nullptr;
    }
    // Each connection gets its own session; resumption is not simulated.
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_num_tickets(context, 0);
    return context;
}

} // namespace veltrano::sim

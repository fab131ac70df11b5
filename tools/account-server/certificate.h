// The server's certificate and key: made at start, or read from PEM files.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

struct X509Deleter {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

struct Credentials {
    std::unique_ptr<X509, X509Deleter> cert;
    std::unique_ptr<EVP_PKEY, KeyDeleter> key;
};

// A server certificate for `name` (subject and subject alternative name; "localhost"
// also names 127.0.0.1), valid from an hour ago for a year, or expired a day ago; signed by
// `ca`, or self-signed without one. Empty on failure.
Credentials MakeServerCertificate(const std::string& name, bool bExpired,
                                  const Credentials* ca = nullptr);
inline Credentials MakeSelfSigned(const std::string& name, bool bExpired) {
    return MakeServerCertificate(name, bExpired);
}

// A certificate authority of its own for tests, valid from an hour ago for a year: a client
// that trusts it accepts what MakeServerCertificate signs with it. Empty on failure.
Credentials MakeTestCa();

// Empty, with `error` set, when either file cannot be read.
Credentials LoadCredentials(const std::string& certFile, const std::string& keyFile,
                            std::string& error);

bool WriteCertificate(const X509* cert, const std::string& file);

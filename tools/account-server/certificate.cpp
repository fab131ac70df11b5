#include "certificate.h"

#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <cstdio>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// `issuer` is the certificate that signs `cert` (itself when self-signed).
bool AddExtension(X509* cert, int nid, const std::string& value, X509* issuer = nullptr) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer ? issuer : cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext) return false;
    bool bAdded = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return bAdded;
}

// A new key and a certificate for it with a random serial number, the subject CN `name` and
// the given validity; not yet signed.
Credentials MakeUnsigned(const std::string& name, bool bExpired) {
    Credentials made;
    made.key.reset(EVP_RSA_gen(2048));
    made.cert.reset(X509_new());
    if (!made.key || !made.cert) return {};
    X509* cert = made.cert.get();

    unsigned char serial[8];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7F;  // positive
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    bool bOk = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert));
    BN_free(number);

    const long kDay = 24L * 60 * 60;
    bOk = bOk && X509_set_version(cert, 2);
    if (bExpired) {
        bOk = bOk && X509_gmtime_adj(X509_getm_notBefore(cert), -30 * kDay) &&
              X509_gmtime_adj(X509_getm_notAfter(cert), -kDay);
    } else {
        bOk = bOk && X509_gmtime_adj(X509_getm_notBefore(cert), -60L * 60) &&
              X509_gmtime_adj(X509_getm_notAfter(cert), 365 * kDay);
    }
    X509_NAME* subject = X509_get_subject_name(cert);
    bOk = bOk &&
          X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                     reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1,
                                     0) &&
          X509_set_pubkey(cert, made.key.get());
    if (!bOk) return {};
    return made;
}

}  // namespace

Credentials MakeTestCa() {
    Credentials made = MakeUnsigned("account-server test CA", false);
    X509* cert = made.cert.get();
    bool bOk = cert && X509_set_issuer_name(cert, X509_get_subject_name(cert)) &&
               AddExtension(cert, NID_basic_constraints, "critical,CA:TRUE") &&
               AddExtension(cert, NID_key_usage, "critical,keyCertSign,cRLSign") &&
               AddExtension(cert, NID_subject_key_identifier, "hash") &&
               X509_sign(cert, made.key.get(), EVP_sha256()) > 0;
    if (!bOk) return {};
    return made;
}

Credentials MakeServerCertificate(const std::string& name, bool bExpired, const Credentials* ca) {
    Credentials made = MakeUnsigned(name, bExpired);
    X509* cert = made.cert.get();
    if (!cert) return {};
    X509* issuer = ca ? ca->cert.get() : cert;
    EVP_PKEY* signer = ca ? ca->key.get() : made.key.get();
    bool bOk = X509_set_issuer_name(cert, X509_get_subject_name(issuer));

    std::string altNames = "DNS:" + name;
    if (name == "localhost") altNames += ",IP:127.0.0.1";
    bOk = bOk && AddExtension(cert, NID_subject_alt_name, altNames) &&
          AddExtension(cert, NID_basic_constraints, "critical,CA:FALSE") &&
          AddExtension(cert, NID_key_usage, "critical,digitalSignature,keyEncipherment") &&
          AddExtension(cert, NID_ext_key_usage, "serverAuth") &&
          AddExtension(cert, NID_subject_key_identifier, "hash") &&
          (!ca || AddExtension(cert, NID_authority_key_identifier, "keyid:always", issuer)) &&
          X509_sign(cert, signer, EVP_sha256()) > 0;
    if (!bOk) return {};
    return made;
}

Credentials LoadCredentials(const std::string& certFile, const std::string& keyFile,
                            std::string& error) {
    Credentials loaded;
    FilePtr certIn(std::fopen(certFile.c_str(), "r"));
    if (certIn) loaded.cert.reset(PEM_read_X509(certIn.get(), nullptr, nullptr, nullptr));
    if (!loaded.cert) {
        error = "cannot read a PEM certificate from " + certFile;
        return {};
    }
    FilePtr keyIn(std::fopen(keyFile.c_str(), "r"));
    if (keyIn) loaded.key.reset(PEM_read_PrivateKey(keyIn.get(), nullptr, nullptr, nullptr));
    if (!loaded.key) {
        error = "cannot read a PEM private key from " + keyFile;
        return {};
    }
    return loaded;
}

bool WriteCertificate(const X509* cert, const std::string& file) {
    FilePtr out(std::fopen(file.c_str(), "w"));
    return out && PEM_write_X509(out.get(), cert) == 1 && std::fflush(out.get()) == 0;
}

// Certificate checks that WinINet's security flags can waive one at a time, where libcurl only
// turns checking on or off: OpenSSL's verify callback clears what the request waived.
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include "platform/https.h"
#include "platform/posix/curl_faults.h"

namespace {

// A failed certificate check as WinINet knows it: the security flag that waives it (0: none)
// and the error that reports it.
struct CertificateCheck {
    uint32_t waivedBy;
    uint32_t error;
};

CertificateCheck CheckOf(long x509Error) {
    switch (x509Error) {
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
            return {inet::SECURITY_FLAG_IGNORE_UNKNOWN_CA, inet::ERROR_INTERNET_INVALID_CA};
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return {inet::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID,
                    inet::ERROR_INTERNET_SEC_CERT_DATE_INVALID};
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return {inet::SECURITY_FLAG_IGNORE_CERT_CN_INVALID,
                    inet::ERROR_INTERNET_SEC_CERT_CN_INVALID};
        case X509_V_ERR_INVALID_PURPOSE:
            return {inet::SECURITY_FLAG_IGNORE_WRONG_USAGE,
                    inet::ERROR_INTERNET_SEC_CERT_WRONG_USAGE};
        case X509_V_ERR_UNABLE_TO_GET_CRL:
            return {inet::SECURITY_FLAG_IGNORE_REVOCATION, inet::ERROR_INTERNET_SEC_INVALID_CERT};
        case X509_V_ERR_CERT_REVOKED:
            return {0, inet::ERROR_INTERNET_SEC_CERT_REVOKED};
        default:
            return {0, inet::ERROR_INTERNET_SEC_INVALID_CERT};
    }
}

int ChecksIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// OpenSSL asks once per failed check. Each is noted, so that the connection never carries a
// request that must make it; one that the request waives, or that it may waive on its resend, is
// cleared so that the chain's final result (which libcurl acts on) names only the checks that
// end the handshake.
int OnVerify(int ok, X509_STORE_CTX* store) {
    if (ok) return 1;
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* checks = static_cast<CurlCertificateChecks*>(
        SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), ChecksIndex()));
    if (!checks) return 0;
    const long error = X509_STORE_CTX_get_error(store);
    checks->failures.push_back(error);
    const uint32_t waivedBy = CheckOf(error).waivedBy;
    if (waivedBy == 0) return 0;
    if ((checks->securityFlags & waivedBy) == 0 && !checks->bKeepsWaivableFailures) return 0;
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
}

// The server's name is checked by OpenSSL with the chain, so that a mismatch is told apart from
// the other failures and noted even where the request waives it.
CURLcode OnSslContext(CURL*, void* context, void* user) {
    auto* ctx = static_cast<SSL_CTX*>(context);
    auto* checks = static_cast<CurlCertificateChecks*>(user);
    SSL_CTX_set_ex_data(ctx, ChecksIndex(), checks);
    SSL_CTX_set_verify(ctx, SSL_CTX_get_verify_mode(ctx), OnVerify);
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(ctx);
    const std::string& host = checks->strHost;
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1 &&
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) != 1) {
        return CURLE_SSL_CERTPROBLEM;
    }
    return CURLE_OK;
}

}  // namespace

void SetCertificateChecks(CURL* easy, CurlCertificateChecks& checks,
                          const std::string& trustedCertificates) {
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    // OpenSSL checks the name (OnSslContext), so that a waived mismatch is still noted.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, OnSslContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &checks);
    if (!trustedCertificates.empty()) {
        // The file alone: the distribution's libcurl also looks in a CA directory of its own,
        // which would add the whole system store back.
        curl_easy_setopt(easy, CURLOPT_CAINFO, trustedCertificates.c_str());
        curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    }
}

uint32_t CertificateError(long x509Result) {
    return CheckOf(x509Result).error;
}

long UnwaivedFailure(const CurlCertificateChecks& checks, uint32_t securityFlags) {
    for (const long failure : checks.failures) {
        if ((CheckOf(failure).waivedBy & securityFlags) == 0) return failure;
    }
    return X509_V_OK;
}

// The libcurl client's certificate checks, which WinINet's security flags waive one by one, and
// its failures told as the WinINet numbers the engine acts on.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <string>
#include <vector>

// The checks of one connection's handshake, living as long as the connection.
struct CurlCertificateChecks {
    uint32_t securityFlags = 0;  // INTERNET_OPTION_SECURITY_FLAGS as the request set it
    std::string strHost;         // the name the certificate must bear: the hop's server
    // A failure that the security flags could waive ends the handshake only without this.
    bool bKeepsWaivableFailures = false;
    // What the handshake found: the X509 result of each failed check, in the order found.
    std::vector<long> failures;
};

// The X509 result of the first check in `checks` that failed and that `securityFlags` do not
// waive; X509_V_OK when they waive all (or none failed).
long UnwaivedFailure(const CurlCertificateChecks& checks, uint32_t securityFlags);

// Makes `easy` verify the server's certificate as `checks` say, trusting only the PEM file
// `trustedCertificates` when one is named (the system's store otherwise).
void SetCertificateChecks(CURL* easy, CurlCertificateChecks& checks,
                          const std::string& trustedCertificates);

// What the transfer's callbacks saw: it tells apart failures that libcurl reports alike.
struct CurlFaultSigns {
    bool bStalled = false;    // the progress callback ended a stall
    bool bOverBound = false;  // the reply went, or was to go, past kMaxHttpReplyBytes
};

// libcurl's outcome (not CURLE_OK) as a WinINet error number; `verifyResult` is the X509 result
// of the certificate check. Codes without a counterpart become ERROR_INTERNET_INTERNAL_ERROR.
uint32_t ErrorFromCurl(CURLcode code, long verifyResult, const CurlFaultSigns& signs);

// The WinINet error number of a failed X509 check.
uint32_t CertificateError(long x509Result);

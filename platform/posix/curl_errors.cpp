// libcurl's outcome as the WinINet number the engine acts on; the face's detail keeps libcurl's
// own code and message.
#include <openssl/x509_vfy.h>

#include "platform/https.h"
#include "platform/posix/curl_faults.h"

uint32_t ErrorFromCurl(CURLcode code, long verifyResult, const CurlFaultSigns& signs) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return inet::ERROR_INTERNET_NAME_NOT_RESOLVED;
        case CURLE_COULDNT_CONNECT:
            return inet::ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_OPERATION_TIMEDOUT:
            return inet::ERROR_INTERNET_TIMEOUT;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            return inet::ERROR_INTERNET_CONNECTION_ABORTED;
        case CURLE_WEIRD_SERVER_REPLY:
            return inet::ERROR_HTTP_INVALID_SERVER_RESPONSE;
        case CURLE_ABORTED_BY_CALLBACK:
            return signs.bStalled ? inet::ERROR_INTERNET_TIMEOUT
                                  : inet::ERROR_INTERNET_OPERATION_CANCELLED;
        case CURLE_URL_MALFORMAT:
            return inet::ERROR_INTERNET_INVALID_URL;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return inet::ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        case CURLE_WRITE_ERROR:
            return signs.bOverBound ? inet::ERROR_HTTP_INVALID_SERVER_RESPONSE
                                    : inet::ERROR_INTERNET_INTERNAL_ERROR;
        case CURLE_SSL_CONNECT_ERROR:
            return inet::ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
        case CURLE_PEER_FAILED_VERIFICATION:
            // A good chain that still failed: libcurl's own host name check refused it.
            return verifyResult == X509_V_OK ? inet::ERROR_INTERNET_SEC_CERT_CN_INVALID
                                             : CertificateError(verifyResult);
        default:
            return inet::ERROR_INTERNET_INTERNAL_ERROR;
    }
}

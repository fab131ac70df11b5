// The state codes of the login object (ILogin's GetErrorCode): what the last login sequence
// ended with. 0 is success; the plug-in's own codes are negative (and 5); a failed HTTPS step
// passes its WinINet error number on (the Linux build maps its outcomes onto the same numbers);
// a failed card read passes the host's DEVICE_ERROR_* on; a server refusal is the reply's
// resultValue. The code stays until the next sequence sets another.
#pragma once

#include <cstdint>

#include "ICheckDeviceType.h"

// The plug-in's own codes.
constexpr int32_t LOGIN_STATE_OK = 0;
constexpr int32_t LOGIN_STATE_KEY_PATH_OR_URL = -1;     // no key file path, or a URL not parsable
constexpr int32_t LOGIN_STATE_IDENTITY_OR_SCHEME = -2;  // no identity, or a URL not https:
constexpr int32_t LOGIN_STATE_SIM_TYPE_OR_REPLY = -3;   // no SIM type, or a malformed login reply
constexpr int32_t LOGIN_STATE_PROXY_CREDENTIALS = 5;    // proxy credentials missing or refused
constexpr int32_t LOGIN_STATE_PARSER_FAILED = -100;     // a reply parser failed

// The server's resultValue codes.
constexpr int32_t LOGIN_SERVER_BAD_REQUEST = 1;       // the request lacked the identity
constexpr int32_t LOGIN_SERVER_UNKNOWN_IDENTITY = 2;  // registers anew and logs in once more
constexpr int32_t LOGIN_SERVER_WRONG_PASSWORD = 3;    // the same

// WinINet error numbers passed on.
constexpr int32_t LOGIN_INET_TIMEOUT = 12002;
constexpr int32_t LOGIN_INET_NAME_NOT_RESOLVED = 12007;
constexpr int32_t LOGIN_INET_CANCELLED = 12017;      // the plug-in was being destroyed
constexpr int32_t LOGIN_INET_PROXY_REFUSED = 12033;  // the proxy answered CONNECT with an error
constexpr int32_t LOGIN_INET_CANNOT_CONNECT = 12029;
constexpr int32_t LOGIN_INET_CONNECTION_ABORTED = 12030;
constexpr int32_t LOGIN_INET_CONNECTION_RESET = 12031;
constexpr int32_t LOGIN_INET_CERT_DATE_INVALID = 12037;
constexpr int32_t LOGIN_INET_CERT_CN_INVALID = 12038;
constexpr int32_t LOGIN_INET_REDIRECT_REFUSED = 12040;  // a redirect the policy does not follow
constexpr int32_t LOGIN_INET_INVALID_CA = 12045;
constexpr int32_t LOGIN_INET_INVALID_SERVER_RESPONSE = 12152;  // also: a reply over 1 MiB
constexpr int32_t LOGIN_INET_SECURITY_CHANNEL_ERROR = 12157;
constexpr int32_t LOGIN_INET_CERT_INVALID = 12169;
constexpr int32_t LOGIN_INET_CERT_WRONG_USAGE = 12179;

// One line for a state code (DEVICE_ERROR_* included), for a host's log; empty when unknown.
inline const char* LoginStateText(int32_t code) {
    switch (code) {
        case LOGIN_STATE_OK:
            return "no error";
        case LOGIN_STATE_KEY_PATH_OR_URL:
            return "no key file path, or a URL that cannot be parsed";
        case LOGIN_STATE_IDENTITY_OR_SCHEME:
            return "no identity, or a URL that is not HTTPS";
        case LOGIN_STATE_SIM_TYPE_OR_REPLY:
            return "no SIM type, or a login reply that is not well formed";
        case LOGIN_STATE_PARSER_FAILED:
            return "a reply parser failed";
        case LOGIN_SERVER_BAD_REQUEST:
            return "server: request without identity";
        case LOGIN_SERVER_UNKNOWN_IDENTITY:
            return "server: identity unknown";
        case LOGIN_SERVER_WRONG_PASSWORD:
            return "server: wrong password";
        case LOGIN_STATE_PROXY_CREDENTIALS:
            return "the proxy asks for credentials that are not set, or refused them";
        case DEVICE_ERROR_SIM_BUSY:
            return "card busy";
        case DEVICE_ERROR_SPN_NOT_FOUND:
            return "card: file not found";
        case DEVICE_ERROR_TIMEOUT:
            return "card: time-out";
        case DEVICE_ERROR_NO_SIM:
            return "card: no SIM";
        case DEVICE_ERROR_DEVICE:
            return "card: device error";
        case DEVICE_ERROR_SIM_PIN:
            return "card: SIM PIN required";
        case DEVICE_ERROR_SIM_PUK:
            return "card: SIM PUK required";
        case DEVICE_ERROR_SIM_FAILURE:
            return "card: SIM failure";
        case DEVICE_ERROR_BAD_ANSWER:
            return "card: unexpected answer";
        case DEVICE_ERROR_HOST_STOPPING:
            return "card: the host is stopping";
        case LOGIN_INET_TIMEOUT:
            return "time-out";
        case LOGIN_INET_NAME_NOT_RESOLVED:
            return "server name not resolved";
        case LOGIN_INET_CANCELLED:
            return "cancelled: the plug-in was stopping";
        case LOGIN_INET_PROXY_REFUSED:
            return "the proxy refused the tunnel to the server";
        case LOGIN_INET_CANNOT_CONNECT:
            return "cannot connect";
        case LOGIN_INET_CONNECTION_ABORTED:
            return "connection aborted";
        case LOGIN_INET_CONNECTION_RESET:
            return "connection reset";
        case LOGIN_INET_CERT_DATE_INVALID:
            return "certificate expired or not yet valid";
        case LOGIN_INET_CERT_CN_INVALID:
            return "certificate name mismatch";
        case LOGIN_INET_REDIRECT_REFUSED:
            return "redirect refused";
        case LOGIN_INET_INVALID_CA:
            return "certificate of an unknown issuer";
        case LOGIN_INET_INVALID_SERVER_RESPONSE:
            return "invalid or oversized server reply";
        case LOGIN_INET_SECURITY_CHANNEL_ERROR:
            return "secure channel error";
        case LOGIN_INET_CERT_INVALID:
            return "certificate error";
        case LOGIN_INET_CERT_WRONG_USAGE:
            return "certificate not for server authentication";
        default:
            return code > 0 && code < 1000 ? "server result code" : "";
    }
}

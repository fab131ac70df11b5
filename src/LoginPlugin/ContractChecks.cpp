// The layers below the SDK (platform/, libs/) cannot include it, so the few numbers and names they
// hold that a host also sees are tied to the SDK's here, at compile time: they cannot drift apart.
#include "LoginSettings.h"
#include "LoginStates.h"
#include "libs/trace/Trace.h"
#include "libs/trace/TracePath.h"
#include "platform/https.h"
#include "platform/registry.h"

namespace {

constexpr bool SameText(const char* a, const char* b) {
    return *a == *b && (*a == '\0' || SameText(a + 1, b + 1));
}

constexpr bool SameNumber(int32_t sdk, uint32_t platform) {
    return static_cast<uint32_t>(sdk) == platform;
}

static_assert(SameText(LOGIN_TRACE_FILE, NORVA_TRACE_FILE), "trace file");
static_assert(SameText(LOGIN_TRACE_DIR_ENV, TRACE_DIR_VARIABLE), "trace directory variable");
static_assert(SameText(LOGIN_REGISTRY_ENV, kRegistryRootVariable), "registry root variable");
static_assert(SameNumber(LOGIN_INET_TIMEOUT, inet::ERROR_INTERNET_TIMEOUT), "12002");
static_assert(SameNumber(LOGIN_INET_NAME_NOT_RESOLVED, inet::ERROR_INTERNET_NAME_NOT_RESOLVED),
              "12007");
static_assert(SameNumber(LOGIN_INET_CANCELLED, inet::ERROR_INTERNET_OPERATION_CANCELLED), "12017");
static_assert(SameNumber(LOGIN_INET_CANNOT_CONNECT, inet::ERROR_INTERNET_CANNOT_CONNECT), "12029");
static_assert(SameNumber(LOGIN_INET_CONNECTION_ABORTED, inet::ERROR_INTERNET_CONNECTION_ABORTED),
              "12030");
static_assert(SameNumber(LOGIN_INET_CONNECTION_RESET, inet::ERROR_INTERNET_CONNECTION_RESET),
              "12031");
static_assert(SameNumber(LOGIN_INET_CERT_DATE_INVALID, inet::ERROR_INTERNET_SEC_CERT_DATE_INVALID),
              "12037");
static_assert(SameNumber(LOGIN_INET_CERT_CN_INVALID, inet::ERROR_INTERNET_SEC_CERT_CN_INVALID),
              "12038");
static_assert(SameNumber(LOGIN_INET_REDIRECT_REFUSED, inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR),
              "12040");
static_assert(SameNumber(LOGIN_INET_INVALID_CA, inet::ERROR_INTERNET_INVALID_CA), "12045");
static_assert(SameNumber(LOGIN_INET_INVALID_SERVER_RESPONSE,
                         inet::ERROR_HTTP_INVALID_SERVER_RESPONSE),
              "12152");
static_assert(SameNumber(LOGIN_INET_SECURITY_CHANNEL_ERROR,
                         inet::ERROR_INTERNET_SECURITY_CHANNEL_ERROR),
              "12157");
static_assert(SameNumber(LOGIN_INET_CERT_INVALID, inet::ERROR_INTERNET_SEC_INVALID_CERT), "12169");
static_assert(SameNumber(LOGIN_INET_CERT_WRONG_USAGE, inet::ERROR_INTERNET_SEC_CERT_WRONG_USAGE),
              "12179");

}  // namespace

// The login object over the scripted HTTPS layer, for the tests of the server exchange.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "FakeHost.h"
#include "FakeHttps.h"
#include "FormHeaders.h"
#include "LoginImpl.h"
#include "libs/trace/TraceCapture.h"

constexpr char kUrl[] = "https://acct.example.com:8443/svc/login?v=1";
constexpr uint32_t kSecureFlag = 0x00800000;
// The steps of one exchange: its opening, the reading of the answer, and the closing of the
// request, the connection and the internet handle, in that order.
constexpr char kOpens[] = "Open Connect OpenRequest ";
constexpr char kReads[] = "QueryInfo(status) QueryInfo(length) Read ";
constexpr char kCloses[] = "Close(request) Close(connection) Close(internet)";

inline LoginEnvironment Over(FakeHttps& https) {
    return {nullptr, https.Factory()};
}

class ExchangeTest : public ::testing::Test {
protected:
    bool Post(const std::string& url = kUrl, const std::string& proxyAddress = "",
              const std::string& proxyPort = "", bool bSecure = true) {
        reply = ServerReply();
        return login.PostToServer(url, kFormHeaders, "cid=1", proxyAddress, proxyPort, bSecure,
                                  reply);
    }

    FakeHost host;
    FakeHttps https;
    TraceCapture trace;
    CLoginImpl login{&host.container, Over(https)};
    ServerReply reply;
};

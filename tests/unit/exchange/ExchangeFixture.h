// The login object over the scripted HTTPS layer, for the tests of the server exchange.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "FakeHost.h"
#include "FakeHttps.h"
#include "LoginImpl.h"
#include "TraceCapture.h"

constexpr char kHeaders[] = "Accept:*/*\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";
constexpr char kUrl[] = "https://acct.example.com:8443/svc/login?v=1";
constexpr uint32_t kRelaxed = 0x3380;
constexpr uint32_t kSecureFlag = 0x00800000;

// The closing of one exchange: request, connection, internet handle, in that order.
constexpr char kCloses[] = "Close(request) Close(connection) Close(internet)";

class ExchangeTest : public ::testing::Test {
protected:
    LoginEnvironment Environment() {
        LoginEnvironment env;
        env.httpClient = https.Factory();
        return env;
    }
    bool Post(const std::string& url = kUrl, const std::string& body = "cid=1",
              const std::string& proxyAddress = "", const std::string& proxyPort = "",
              bool bSecure = true) {
        reply = ServerReply();
        return login.PostToServer(url, kHeaders, body, proxyAddress, proxyPort, bSecure, reply);
    }

    FakeHost host;
    FakeHttps https;
    TraceCapture trace;
    CLoginImpl login{&host.container, Environment()};
    ServerReply reply;
};

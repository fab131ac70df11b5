// The account exchange alone over the scripted HTTPS layer.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "AccountExchange.h"
#include "FakeHost.h"
#include "FakeHttps.h"
#include "FormHeaders.h"
#include "libs/trace/TraceCapture.h"

constexpr char kUrl[] = "https://acct.example.com:8443/svc/login?v=1";
constexpr uint32_t kSecureFlag = 0x00800000;
// The steps of one exchange: its opening, the reading of the answer, and the closing of the
// request, the connection and the internet handle, in that order.
constexpr char kOpens[] = "Open Connect OpenRequest ";
constexpr char kReads[] = "QueryInfo(status) QueryInfo(length) Read ";
constexpr char kCloses[] = "Close(request) Close(connection) Close(internet)";

// One exchange with its policy and stop flag, over its own scripted layer.
struct ExchangeUnderTest {
    explicit ExchangeUnderTest(FakeHost& host, SecurityPolicy given = {})
        : policy(std::move(given)), exchange(&host.container, policy, stopping, https.Factory()) {}
    StepOutcome Post(ServerReply& reply, const std::string& url = kUrl,
                     const std::string& proxyAddress = "", const std::string& proxyPort = "",
                     bool bSecure = true) {
        return exchange.Post(url, kFormHeaders, "cid=1", proxyAddress, proxyPort, bSecure, reply);
    }

    FakeHttps https;
    SecurityPolicy policy;
    std::atomic<bool> stopping{false};
    AccountExchange exchange;
};

class ExchangeTest : public ::testing::Test {
protected:
    StepOutcome Post(const std::string& url = kUrl, const std::string& proxyAddress = "",
                     const std::string& proxyPort = "", bool bSecure = true) {
        reply = ServerReply();
        return subject.Post(reply, url, proxyAddress, proxyPort, bSecure);
    }

    FakeHost host;
    TraceCapture trace;
    ExchangeUnderTest subject{host};
    FakeHttps& https = subject.https;
    ServerReply reply;
};

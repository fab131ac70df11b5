// Steps and checks of a form post over IHttpClient, shared by the tests of both clients.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "FormHeaders.h"
#include "platform/https.h"

constexpr uint32_t kAllCertificateChecksOff = 0x3380;
constexpr uint32_t kStatusQuery = inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_STATUS_CODE;
constexpr uint32_t kLengthQuery = inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_CONTENT_LENGTH;
constexpr char kUnknownCid[] = "<result><resultValue>2</resultValue></result>";

// The three handles of one request; closed request first.
struct OpenedRequest {
    HttpHandle internet;
    HttpHandle connection;
    HttpHandle request;
};

// Opens a secure POST of `object` on 127.0.0.1:port, through `proxy` when one is given.
inline OpenedRequest OpenPost(IHttpClient& client, uint16_t port, const std::string& object,
                              const std::string& proxy = {}) {
    OpenedRequest opened;
    opened.internet = client.Open(
        "https-test agent",
        proxy.empty() ? inet::INTERNET_OPEN_TYPE_DIRECT : inet::INTERNET_OPEN_TYPE_PROXY, proxy);
    if (opened.internet) opened.connection = client.Connect(opened.internet, "127.0.0.1", port);
    if (opened.connection) {
        opened.request =
            client.OpenRequest(opened.connection, "POST", object, inet::INTERNET_FLAG_SECURE);
    }
    return opened;
}

// One read into a buffer of `size` bytes; what it gave, or "<read failed N>".
inline std::string ReadOnce(IHttpClient& client, const HttpHandle& request, uint32_t size) {
    std::string buffer(size, '\0');
    uint32_t read = 0;
    if (!client.Read(request, buffer.data(), size, read)) {
        return "<read failed " + std::to_string(client.LastError()) + ">";
    }
    buffer.resize(read);
    return buffer;
}

inline uint32_t Query(IHttpClient& client, const HttpHandle& request, uint32_t level) {
    uint32_t value = 0;
    return client.QueryInfo(request, level, value) ? value : 0;
}

// The send fails with the certificate error `error`, and succeeds once the checks are off.
inline void ExpectCertificateRetry(IHttpClient& client, const HttpHandle& request,
                                   const std::string& body, uint32_t error) {
    EXPECT_FALSE(client.SendRequest(request, kFormHeaders, body));
    EXPECT_EQ(client.LastError(), error) << client.LastErrorDetail();
    EXPECT_TRUE(
        client.SetOption(request, inet::INTERNET_OPTION_SECURITY_FLAGS, kAllCertificateChecksOff));
    EXPECT_TRUE(client.SendRequest(request, kFormHeaders, body)) << client.LastErrorDetail();
    EXPECT_EQ(Query(client, request, kStatusQuery), 200u);
}

// A registration reply of the announced length, read whole by one read; nothing follows.
inline void ExpectRegistrationRead(IHttpClient& client, const HttpHandle& request) {
    const uint32_t length = Query(client, request, kLengthQuery);
    const std::string reply = ReadOnce(client, request, length);
    EXPECT_EQ(reply.size(), length);
    // (gtest's own regex, on Windows, knows \w but no brackets.)
    EXPECT_THAT(reply,
                ::testing::MatchesRegex(
                    "<result><resultValue>0</resultValue><password>\\w+</password></result>"));
    EXPECT_EQ(ReadOnce(client, request, 64), "");
}

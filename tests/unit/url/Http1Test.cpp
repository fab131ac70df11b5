// The HTTP/1.1 reader of the face that carries its own connections: each reply whole and a byte
// at a time, since a link delivers it in any pieces.
#include "platform/http1.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Read {
    bool bHead = false;
    uint32_t status = 0;
    std::string body;
    uint32_t error = 0;
    bool bKeeps = false;
};

Read ReadReply(const std::string& stream, bool bBytewise, bool bThenClose) {
    Http1ReplyReader reader;
    if (bBytewise) {
        for (char c : stream) {
            if (!reader.Feed(&c, 1)) break;
        }
    } else {
        reader.Feed(stream.data(), stream.size());
    }
    if (bThenClose) reader.End();
    EXPECT_TRUE(reader.Complete());
    return {reader.HasHead(), reader.Status(), reader.Body(), reader.Error(),
            reader.KeepsConnection()};
}

TEST(Http1ReplyReaderTest, FramingsBoundsAndBrokenReplies) {
    constexpr uint32_t kAborted = inet::ERROR_INTERNET_CONNECTION_ABORTED;
    constexpr uint32_t kInvalid = inet::ERROR_HTTP_INVALID_SERVER_RESPONSE;
    const std::string over(kMaxHttpReplyBytes + 1, 'x');
    struct Case {
        const char* name;
        std::string stream;
        bool bThenClose;  // the peer closes after the stream
        Read expected;
    };
    const Case cases[] = {
        {"sized",
         "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello",
         false,
         {true, 200, "hello", 0, true}},
        {"sized, more follows (the next reply's)",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhiXX",
         false,
         {true, 200, "hi", 0, true}},
        {"chunked with extension and trailer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3;x=y\r\nabc\r\nA\r\n0123456789\r\n"
         "0\r\nTrailer: t\r\n\r\n",
         false,
         {true, 200, "abc0123456789", 0, true}},
        {"until close",
         "HTTP/1.1 200 OK\r\n\r\nall of it",
         true,
         {true, 200, "all of it", 0, false}},
        {"interim answer first",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 0\r\n\r\n",
         false,
         {true, 201, "", 0, true}},
        {"asked to close",
         "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\nx",
         false,
         {true, 200, "x", 0, false}},
        {"HTTP/1.0 keeps only when it says so",
         "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 1\r\n\r\nx",
         false,
         {true, 200, "x", 0, true}},
        {"bare line ends",
         "HTTP/1.1 302 Found\nLocation: /x\nContent-Length: 0\n\n",
         false,
         {true, 302, "", 0, true}},
        {"nothing at all is no reply", "", true, {false, 0, "", 0, false}},
        {"head cut short", "HTTP/1.1 200 OK\r\nContent-Le", true, {false, 0, "", kAborted, false}},
        {"body cut short",
         "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc",
         true,
         {true, 200, "abc", kAborted, false}},
        {"chunks cut short",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab",
         true,
         {true, 200, "ab", kAborted, false}},
        {"not HTTP", "<html>portal</html>\r\n\r\n", false, {false, 0, "", kInvalid, false}},
        {"two lengths",
         "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
         false,
         {false, 0, "", kInvalid, false}},
        {"bad chunk size",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
         false,
         {true, 200, "", kInvalid, false}},
        // The bound: a claim past it is refused at the head, a body past it is cut there.
        {"claims 4 GB",
         "HTTP/1.1 200 OK\r\nContent-Length: 4000000000\r\n\r\nabc",
         false,
         {true, 200, "", kInvalid, false}},
        {"redirect's claim is no reply's",
         "HTTP/1.1 307 X\r\nContent-Length: 4000000000\r\n\r\n",
         true,
         {true, 307, "", kAborted, false}},
        {"unsized past the bound",
         "HTTP/1.1 200 OK\r\n\r\n" + over,
         false,
         {true, 200, over.substr(1), kInvalid, false}},
    };
    for (const Case& c : cases) {
        for (const bool bBytewise : {false, true}) {
            if (bBytewise && c.stream.size() > 4096) continue;
            SCOPED_TRACE(std::string(c.name) + (bBytewise ? " (a byte at a time)" : ""));
            const Read read = ReadReply(c.stream, bBytewise, c.bThenClose);
            EXPECT_EQ(read.bHead, c.expected.bHead);
            EXPECT_EQ(read.status, c.expected.status);
            EXPECT_EQ(read.body, c.expected.body);
            EXPECT_EQ(read.error, c.expected.error);
            EXPECT_EQ(read.bKeeps, c.expected.bKeeps);
        }
    }
}

TEST(Http1RequestTest, HeadCarriesHostAgentTheCallersLinesAndTheLength) {
    HttpRoute route;
    route.strAgent = "Velko Agent";
    const std::string headers =
        "Accept:*/*\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";
    const std::string body = "cid=1&pass=2";
    HttpHop hop;
    hop.pRoute = &route;
    hop.target = *ParseUrl("https://[::1]:8443/login");
    hop.strVerb = "POST";
    hop.pHeaders = &headers;
    hop.pBody = &body;
    EXPECT_EQ(Http1Request(hop),
              "POST /login HTTP/1.1\r\nHost: [::1]:8443\r\nUser-Agent: Velko Agent\r\n"
              "Accept:*/*\r\nContent-Type: application/x-www-form-urlencoded\r\n"
              "Content-Length: 12\r\n\r\ncid=1&pass=2");
    hop.target = *ParseUrl("https://h/x");
    hop.strVerb = "GET";
    hop.pBody = nullptr;
    EXPECT_EQ(Http1Request(hop).substr(0, 36), "GET /x HTTP/1.1\r\nHost: h\r\nUser-Agent");
}

}  // namespace

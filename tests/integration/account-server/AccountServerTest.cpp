// The account server's switches that shape its answers and its identity, seen by a bare libcurl
// client; and the server ending with the test program that started it, even a killed one.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "certificate.h"
#include "LoopbackServers.h"

namespace {

struct Reply {
    long status = 0;
    std::string body;
    CURLcode code = CURLE_OK;
};

// One form post; `caFile` is the only certificate trusted.
Reply Post(uint16_t port, const std::string& path, const std::string& form,
           const std::string& caFile) {
    Reply reply;
    CURL* curl = curl_easy_init();
    const std::string url = "https://localhost:" + std::to_string(port) + path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, form.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_slist* resolve =
        curl_slist_append(nullptr, ("localhost:" + std::to_string(port) + ":127.0.0.1").c_str());
    curl_easy_setopt(curl, CURLOPT_RESOLVE, resolve);
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
            static_cast<std::string*>(out)->append(data, size * count);
            return size * count;
        });
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    reply.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_cleanup(curl);
    curl_slist_free_all(resolve);
    return reply;
}

std::string Between(const std::string& text, const std::string& tag) {
    const std::string open = "<" + tag + ">";
    const size_t start = text.find(open);
    if (start == std::string::npos) return "<none>";
    const size_t end = text.find("</" + tag + ">", start);
    return text.substr(start + open.size(), end - start - open.size());
}

class AccountServerTest : public ::testing::Test {
protected:
    // The server with `switches`, its certificate trusted by the client.
    void Start(std::vector<std::string> switches) {
        switches.insert(switches.end(), {"--cert-out", caFile});
        std::string error;
        ASSERT_TRUE(server.Start(switches, error)) << error;
    }
    Reply Post(const std::string& path, const std::string& form) {
        return ::Post(server.Port(), path, form, caFile);
    }

    TempDir dir;
    std::string caFile = dir.Path() + "/ca.pem";
    AccountServer server;
};

TEST_F(AccountServerTest, StateFileKeepsTheAccountsForTheNextServer) {
    const std::string state = dir.Path() + "/accounts";
    Start({"--state", state});
    const std::string password =
        Between(Post("/register", "cid=460001&ctype=CMCC").body, "password");
    ASSERT_NE(password, "<none>");
    server.Process().Stop();

    Start({"--state", state});
    const Reply known = Post("/login", "cid=460001&pass=" + password + "&ctype=CMCC");
    EXPECT_EQ(Between(known.body, "resultValue"), "0") << known.body;
    server.Process().Stop();

    Start({});  // without the file the account is unknown
    EXPECT_EQ(Between(Post("/login", "cid=460001&pass=" + password).body, "resultValue"), "2");
}

// A tab and a line break in an identity would write an account of their own into the state file,
// found by the next server: such a request is refused and the file keeps no forged account.
TEST_F(AccountServerTest, ControlCharactersInAFieldAreRefusedAndForgeNoAccount) {
    const std::string state = dir.Path() + "/accounts";
    Start({"--state", state});
    const Reply forging = Post("/register", "cid=victim%09forged%0Aattacker&ctype=CMCC");
    EXPECT_EQ(forging.status, 400) << forging.body;
    EXPECT_NE(forging.body.find("control character in form field \"cid\""), std::string::npos)
        << forging.body;
    EXPECT_EQ(Post("/login", "cid=460001&pass=a%0Db").status, 400);
    server.Process().Stop();

    Start({"--state", state});
    EXPECT_EQ(Between(Post("/login", "cid=victim&pass=forged").body, "resultValue"), "2");
}

TEST_F(AccountServerTest, FaultSwitchesShapeTheAnswers) {
    Start({"--register-code", "7", "--not-xml"});
    const Reply notXml = Post("/register", "cid=460001&ctype=CMCC");
    EXPECT_EQ(notXml.status, 200);
    EXPECT_EQ(notXml.body.find("<result>"), std::string::npos) << notXml.body;
    EXPECT_EQ(notXml.body.find("</html>"), std::string::npos);  // not even well formed
    server.Process().Stop();

    Start({"--register-code", "7"});
    const Reply refused = Post("/register", "cid=460001&ctype=CMCC");
    EXPECT_EQ(Between(refused.body, "resultValue"), "7");
    EXPECT_EQ(Between(refused.body, "password"), "<none>");
    server.Process().Stop();

    // A delayed answer is still the answer.
    Start({"--delay-ms", "300"});
    EXPECT_EQ(Between(Post("/register", "cid=460001&ctype=CMCC").body, "resultValue"), "0");
}

TEST_F(AccountServerTest, CertificateAndKeyFromFilesAreServed) {
    // A pair of the test's own: only a server that serves it is trusted.
    Credentials made = MakeSelfSigned("localhost", false);
    ASSERT_TRUE(made.cert && made.key);
    const std::string certFile = dir.Path() + "/cert.pem";
    const std::string keyFile = dir.Path() + "/key.pem";
    ASSERT_TRUE(WriteCertificate(made.cert.get(), certFile));
    FILE* out = std::fopen(keyFile.c_str(), "w");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(PEM_write_PrivateKey(out, made.key.get(), nullptr, nullptr, 0, nullptr, nullptr), 1);
    std::fclose(out);

    Start({"--cert", certFile, "--key", keyFile});
    const Reply reply = ::Post(server.Port(), "/register", "cid=1", certFile);
    EXPECT_EQ(reply.code, CURLE_OK);
    EXPECT_EQ(Between(reply.body, "resultValue"), "0");
    server.Process().Stop();

    std::string error;  // a key file that holds no key
    EXPECT_FALSE(server.Start({"--cert", certFile, "--key", certFile}, error));
}

// What the server answers to a request of raw bytes over TLS, read until it ends the connection.
std::string RawExchange(uint16_t port, const std::string& request) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    SSL* ssl = SSL_new(context);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        SSL_set_fd(ssl, fd) == 1 && SSL_connect(ssl) == 1 &&
        SSL_write(ssl, request.data(), static_cast<int>(request.size())) > 0) {
        char buffer[4096];
        int n = 0;
        while ((n = SSL_read(ssl, buffer, sizeof buffer)) > 0) answer.append(buffer, n);
    }
    SSL_free(ssl);
    SSL_CTX_free(context);
    close(fd);
    return answer;
}

// A body beyond 64 KiB is answered before it has arrived, and the connection ends: the server
// neither keeps it nor waits for it. Without a stated length a body is refused alike.
TEST_F(AccountServerTest, ABodyBeyondItsBoundIsAnsweredUnreadAndTheAccountsAreBounded) {
    Start({"--max-accounts", "2"});
    const struct {
        const char* length;
        const char* status;
    } cases[] = {
        {"Content-Length: 200000000", "HTTP/1.1 413"},
        {"Content-Length: 65537", "HTTP/1.1 413"},
        {"Transfer-Encoding: chunked", "HTTP/1.1 411"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string answer = RawExchange(
            server.Port(), std::string("POST /register HTTP/1.1\r\nHost: localhost\r\n") +
                               c.length + "\r\n\r\ncid=1&ctype=CMCC");
        EXPECT_EQ(answer.compare(0, 12, c.status), 0) << answer;
    }
    // 64 KiB itself is taken.
    const std::string padded = "cid=460001&pad=" + std::string(64 * 1024 - 15, 'x');
    const std::string taken = RawExchange(
        server.Port(),
        "POST /register HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\nContent-Type: "
        "text/plain\r\nContent-Length: 65536\r\n\r\n" +
            padded);
    EXPECT_EQ(taken.compare(0, 12, "HTTP/1.1 200"), 0) << taken.substr(0, 200);
    EXPECT_EQ(Between(taken, "resultValue"), "0");

    EXPECT_EQ(Between(Post("/register", "cid=460002").body, "resultValue"), "0");
    const Reply full = Post("/register", "cid=460003");
    EXPECT_EQ(Between(full.body, "resultValue"), "1") << full.body;
    EXPECT_EQ(Between(full.body, "password"), "<none>");
    // A known identity still registers anew.
    EXPECT_EQ(Between(Post("/register", "cid=460001").body, "resultValue"), "0");
}

// pidfd_open has no wrapper in this C library.
int OpenPidFd(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

TEST(TestServers, EndWithTheTestProgramEvenWhenItIsKilled) {
    int pids[2];
    ASSERT_EQ(pipe(pids), 0);
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {  // the "test program": starts a server, tells its pid, waits to be killed
        close(pids[0]);
        AccountServer child;
        std::string error;
        if (!child.Start({"--plain"}, error)) _exit(1);
        const pid_t pid = child.Process().Pid();
        if (write(pids[1], &pid, sizeof pid) != sizeof pid) _exit(1);
        for (;;) pause();
    }
    close(pids[1]);
    pid_t serverPid = 0;
    ASSERT_EQ(read(pids[0], &serverPid, sizeof serverPid), static_cast<ssize_t>(sizeof serverPid));
    close(pids[0]);
    const int serverFd = OpenPidFd(serverPid);
    ASSERT_GE(serverFd, 0);

    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    // Readable once the server has ended; the limit only keeps a failing test from hanging.
    pollfd ended{serverFd, POLLIN, 0};
    EXPECT_EQ(poll(&ended, 1, 60000), 1) << "account-server " << serverPid << " outlived its test";
    close(serverFd);
    kill(serverPid, SIGKILL);  // in case it did not end
}

}  // namespace

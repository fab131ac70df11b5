// A sign-in over a slow link: StartLogin to logged in through fault_proxy.py's link port (a
// one-way delay each direction, 384 kbit/s up), first start (register and login) and restart
// (login only), in the default mode against the server's self-signed certificate and in strict
// mode with that certificate as CAFILE; beside a bare libcurl client that sends the same POSTs on
// one kept connection, in the same run. Network time leaves out the worker's first pass (one
// second by design, before anything goes out).
//
//   link_bench [round trip in ms...]   (default: 0 300 600)
//
// The proxy accepts the TCP connection itself at once, so that its handshake costs no delay, for
// the plug-in and the bare client alike.
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "bench_server.h"
#include "link_signin.h"
#include "TestProcess.h"

namespace {

using linkbench::Clock;
using linkbench::kSimType;

// The bare client's own subscriber: its registration changes the password.
const char kBareImsi[] = "460001234567891";

struct Counts {
    int connections = 0;
    int full = 0;
    int resumed = 0;
    Counts operator-(const Counts& other) const {
        return {connections - other.connections, full - other.full, resumed - other.resumed};
    }
};

Counts ReadCounts(const std::string& path) {
    Counts counts;
    std::ifstream in(path);
    std::string name;
    int value = 0;
    while (in >> name >> value) {
        if (name == "connections") counts.connections = value;
        if (name == "full") counts.full = value;
        if (name == "resumed") counts.resumed = value;
    }
    return counts;
}

struct Sample {
    double seconds = -1;  // negative: failed
    Counts counts;
};

class LinkBench {
public:
    bool Start(BenchServer& server, int roundTripMs) {
        m_countFile = m_dir.File("counts");
        std::string error;
        if (!m_proxy.Start(
                {"python3", FAULT_PROXY, "--target", std::to_string(server.Port()), "--delay-ms",
                 std::to_string(roundTripMs / 2), "--up-kbit", "384", "--count-file", m_countFile},
                error)) {
            std::fprintf(stderr, "fault_proxy.py: %s\n", error.c_str());
            return false;
        }
        const std::string line = m_proxy.WaitForLine("port link ");
        if (line.empty()) return false;
        m_port = std::atoi(line.substr(line.rfind(' ') + 1).c_str());
        return !m_proxy.WaitForLine("ready").empty();
    }
    std::string Url(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(m_port) + path;
    }

    // The plug-in, as shipped: StartLogin until logged in. The key directory decides whether
    // this is a first start (empty) or a restart.
    Sample Plugin(const std::string& keyDir, bool bStrict, const std::string& caFile) {
        const Counts before = ReadCounts(m_countFile);
        Sample sample;
        sample.seconds = linkbench::SignIn(Url(""), keyDir, bStrict, caFile);
        sample.counts = ReadCounts(m_countFile) - before;
        return sample;
    }

    // The same POSTs by a bare libcurl client on one kept connection.
    Sample Bare(bool bFirstStart, bool bStrict, const std::string& caFile) {
        const Counts before = ReadCounts(m_countFile);
        CURL* easy = curl_easy_init();
        curl_slist* headers = curl_slist_append(nullptr, "Accept:*/*");
        curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        curl_slist_append(headers, "Expect:");
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
        std::string reply;
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Append);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &reply);
        if (bStrict) {
            curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.c_str());
        } else {
            curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
            curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
        }
        const auto start = Clock::now();
        bool bOk = true;
        auto post = [&](const std::string& path, const std::string& body) {
            reply.clear();
            curl_easy_setopt(easy, CURLOPT_URL, Url(path).c_str());
            curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body.c_str());
            bOk = bOk && curl_easy_perform(easy) == CURLE_OK;
        };
        if (bFirstStart) {
            post("/register", std::string("cid=") + kBareImsi + "&ctype=" + kSimType);
            const size_t open = reply.find("<password>");
            const size_t close = reply.find("</password>");
            if (open == std::string::npos || close == std::string::npos) bOk = false;
            if (bOk) m_strBarePassword = reply.substr(open + 10, close - open - 10);
        }
        post("/login",
             std::string("cid=") + kBareImsi + "&pass=" + m_strBarePassword + "&ctype=" + kSimType);
        bOk = bOk && reply.find("<resultValue>0</resultValue>") != std::string::npos;
        Sample sample;
        if (bOk) sample.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
        sample.counts = ReadCounts(m_countFile) - before;
        return sample;
    }

private:
    static size_t Append(char* data, size_t size, size_t count, void* user) {
        static_cast<std::string*>(user)->append(data, size * count);
        return size * count;
    }

    TempDir m_dir;
    TestProcess m_proxy;
    std::string m_countFile;
    std::string m_strBarePassword;
    int m_port = 0;
};

void Print(int roundTripMs, const char* mode, const char* phase, const Sample& ours,
           const Sample& bare) {
    std::printf(
        "%5d ms  %-7s %-12s  plug-in %6.3f s  %d conn  %d full  %d resumed   "
        "bare %6.3f s  %d conn  %d full  %d resumed   ratio %5.2f\n",
        roundTripMs, mode, phase, ours.seconds, ours.counts.connections, ours.counts.full,
        ours.counts.resumed, bare.seconds, bare.counts.connections, bare.counts.full,
        bare.counts.resumed, bare.seconds > 0 ? ours.seconds / bare.seconds : 0.0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::vector<int> roundTrips;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') roundTrips.push_back(std::atoi(argv[i]));  // (./run's switches)
    }
    if (roundTrips.empty()) roundTrips = {0, 300, 600};
    BenchServer* server = BenchServer::Get();
    if (!server) return 1;
    std::printf(
        "round     mode    case          network time (after the worker's 1 s first pass), "
        "connections and TLS handshakes through the link\n");
    int run = 0;
    for (const int roundTripMs : roundTrips) {
        LinkBench bench;
        if (!bench.Start(*server, roundTripMs)) return 1;
        for (const bool bStrict : {false, true}) {
            const char* mode = bStrict ? "strict" : "default";
            const std::string caFile = bStrict ? server->Certificate() : "";
            // A directory of its own: the first start finds no key file, the restart the one
            // the first start wrote.
            TempDir keys;
            const std::string keyDir = keys.WithSeparator() + std::to_string(++run) + "/";
            std::filesystem::create_directories(keyDir);
            const Sample first = bench.Plugin(keyDir, bStrict, caFile);
            Print(roundTripMs, mode, "first start", first, bench.Bare(true, bStrict, caFile));
            const Sample restart = bench.Plugin(keyDir, bStrict, caFile);
            Print(roundTripMs, mode, "restart", restart, bench.Bare(false, bStrict, caFile));
        }
    }
    return 0;
}

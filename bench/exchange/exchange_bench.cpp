// One login exchange over TLS on loopback: PostToServer (the WinINet-shaped client over libcurl)
// against a bare libcurl POST of the same request, each on a new connection as the engine makes
// it. The run ends with the ratio of their medians.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <map>

#include "bench_server.h"

namespace {

const char kBody[] = "cid=460001234567890&pass=benchpass&ctype=CMCC";

void BM_PostToServer(benchmark::State& state) {
    BenchServer* server = BenchServer::Get();
    if (!server) return state.SkipWithError("the account server did not start");
    FakeHost host;
    server->PrepareHost(host);
    auto login = server->MakeLogin(host);
    const std::string url = server->Url("/login");
    for (auto _ : state) {
        ServerReply reply;
        if (!login->PostToServer(url, kFormHeaders, kBody, "", "", true, reply)) {
            return state.SkipWithError("PostToServer failed");
        }
        benchmark::DoNotOptimize(reply.strText.data());
    }
}

size_t Append(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

void BM_BareCurlPost(benchmark::State& state) {
    BenchServer* server = BenchServer::Get();
    if (!server) return state.SkipWithError("the account server did not start");
    const std::string url = server->Url("/login");
    for (auto _ : state) {
        std::string reply;
        CURL* easy = curl_easy_init();
        curl_slist* headers = curl_slist_append(nullptr, "Accept:*/*");
        curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        curl_slist_append(headers, "Expect:");
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "Velko Agent");
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, kBody);
        curl_easy_setopt(easy, CURLOPT_CAINFO, server->Certificate().c_str());
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Append);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &reply);
        const CURLcode code = curl_easy_perform(easy);
        curl_slist_free_all(headers);
        curl_easy_cleanup(easy);
        if (code != CURLE_OK) return state.SkipWithError(curl_easy_strerror(code));
        benchmark::DoNotOptimize(reply.data());
    }
}

BENCHMARK(BM_PostToServer)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_BareCurlPost)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Prints as usual and keeps the medians, for the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median")
                m_medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Ratio() const {
        auto ours = m_medians.find("BM_PostToServer");
        auto bare = m_medians.find("BM_BareCurlPost");
        if (ours == m_medians.end() || bare == m_medians.end() || bare->second <= 0) return;
        std::printf("ratio PostToServer / bare libcurl POST (medians): %.3f (goal <= 1.10)\n",
                    ours->second / bare->second);
    }

private:
    std::map<std::string, double> m_medians;
};

}  // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Ratio();
    benchmark::Shutdown();
    return 0;
}

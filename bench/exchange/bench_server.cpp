#include "bench_server.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "LoginSettings.h"

BenchServer* BenchServer::Get() {
    // Destroyed when the program ends, which stops the server (and removes its directory).
    static std::unique_ptr<BenchServer> server = [] {
        auto s = std::make_unique<BenchServer>();
        s->m_strCertificate = s->m_dir.Path() + "/server.pem";
        std::string error;
        if (!s->m_server.Start({"--cert-out", s->m_strCertificate}, error)) {
            std::fprintf(stderr, "account-server: %s\n", error.c_str());
            return std::unique_ptr<BenchServer>();
        }
        std::filesystem::create_directories(s->m_dir.Path() + "/keys");
        std::filesystem::create_directories(s->m_dir.Path() + "/registry/Software/Mirolan/Velko");
        setenv(LOGIN_REGISTRY_ENV, (s->m_dir.Path() + "/registry").c_str(), 1);
        return s;
    }();
    return server.get();
}

std::string BenchServer::Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(m_server.Port()) + path;
}

void BenchServer::PrepareHost(FakeHost& host) const {
    host.comm.SetSpn("CMCC");
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", m_dir.Path() + "/keys/");
    host.setting.Sys("REGISTER", "URL", Url("/register"));
    host.setting.Sys("LOGIN", "URL", Url("/login"));
}

std::unique_ptr<CLoginImpl> BenchServer::MakeLogin(FakeHost& host, LoginEnvironment env) const {
    HttpClientOptions options;
    options.strTrustedCertificates = m_strCertificate;
    env.httpClient = [options](HttpCancel& cancel) { return CreateHttpClient(cancel, options); };
    return std::make_unique<CLoginImpl>(&host.container, std::move(env));
}

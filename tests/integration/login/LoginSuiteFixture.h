// The login object against a real account server on loopback, every call of its client noted.
#pragma once

#include <memory>
#include <string>

#include "LiveLoginFixture.h"
#include "LoginServer.h"
#include "RecordingHttps.h"

// Points the host at a server of that kind, or skips the test when this run has none.
#define SERVE(kind)                                   \
    do {                                              \
        Serve(kind);                                  \
        if (HasFatalFailure() || IsSkipped()) return; \
    } while (0)

class LoginSuiteTest : public LiveLoginTest {
protected:
    void Serve(ServerKind kind) {
        std::string why;
        endpoint = LoginServer::Find(kind, m_dir.Path(), why);
        if (!endpoint) GTEST_SKIP() << why;
        Use(endpoint->base, endpoint->trustedCertificate);
    }
    // Points the host at the server at `base`, trusting `certificate` when one is given.
    void Use(const std::string& base, const std::string& certificate = {}) {
        PointAt(base);
        HttpClientOptions options;
        options.strTrustedCertificates = certificate;
        recorder = std::make_unique<RecordingHttps>(options);
        MakeLogin();
    }
    // A new login object (the key file stays); through `other`, a client made with other
    // options.
    void MakeLogin(RecordingHttps* other = nullptr) {
        LiveLoginTest::MakeLogin((other ? *other : *recorder).Factory());
    }
    bool TrustsServer() const { return !endpoint->trustedCertificate.empty(); }

    std::unique_ptr<LoginServer> endpoint;
    std::unique_ptr<RecordingHttps> recorder;
};

// The reference account server: registration and login over HTTPS on 127.0.0.1, with switches
// that inject faults. Prints "port N" once it listens; stops on SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <thread>

#include <openssl/ssl.h>

#include "accounts.h"
#include "certificate.h"
#include "options.h"
#include "service.h"

namespace {

int Fail(const std::string& message) {
    std::cerr << "account-server: " << message << std::endl;
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    std::optional<ServerOptions> options = ParseOptions(argc, argv, error);
    if (!options) {
        std::cerr << "account-server: " << error << "\n" << kUsage;
        return 2;
    }

    // A client that goes away must not end the server. The stop signals are taken by the
    // stopper thread alone, with sigwait: blocked here, before any thread starts, they stay
    // blocked in every thread, so none arrives while a thread is about to block and is lost.
    signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    AccountStore accounts(options->strStateFile, options->maxAccounts);
    if (!accounts.Load(error)) return Fail(error);

    Credentials credentials;
    std::unique_ptr<httplib::Server> server;
    if (options->bPlain) {
        server = std::make_unique<httplib::Server>();
    } else {
        Credentials ca;
        if (!options->strCaOut.empty()) {
            ca = MakeTestCa();
            if (!ca.cert) return Fail("cannot make a test CA");
            if (!WriteCertificate(ca.cert.get(), options->strCaOut)) {
                return Fail("cannot write " + options->strCaOut);
            }
        }
        credentials = options->strCertFile.empty()
                          ? MakeServerCertificate(options->strCertName, options->bCertExpired,
                                                  ca.cert ? &ca : nullptr)
                          : LoadCredentials(options->strCertFile, options->strKeyFile, error);
        if (!credentials.cert) {
            return Fail(error.empty() ? "cannot make a certificate" : error);
        }
        if (!options->strCertOut.empty() &&
            !WriteCertificate(credentials.cert.get(), options->strCertOut)) {
            return Fail("cannot write " + options->strCertOut);
        }
        auto secure =
            std::make_unique<httplib::SSLServer>(credentials.cert.get(), credentials.key.get());
        if (options->bNoTickets && secure->ssl_context()) {
            SSL_CTX_set_options(secure->ssl_context(), SSL_OP_NO_TICKET);
            SSL_CTX_set_num_tickets(secure->ssl_context(), 0);
        }
        server = std::move(secure);
    }
    if (!server->is_valid()) return Fail("cannot set up the server");
    // Headers and body go out in separate writes: without this each reply waits for the
    // client's delayed acknowledgement (some 40 ms on loopback).
    server->set_tcp_nodelay(true);

    AccountService service(accounts, options->faults);
    service.Install(*server);

    const char kHost[] = "127.0.0.1";
    int port = options->port;
    if (port == 0) {
        port = server->bind_to_any_port(kHost);
    } else if (!server->bind_to_port(kHost, port)) {
        port = -1;
    }
    if (port <= 0) return Fail("cannot listen on " + std::string(kHost));
    std::cout << "port " << port << std::endl;

    std::atomic<bool> bListenEnded{false};
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        // A stop that comes before the server runs would be lost: wait until it runs (or ended).
        while (!server->is_running() && !bListenEnded)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        service.Stop();
        server->stop();
    });
    const bool bListened = server->listen_after_bind();
    bListenEnded = true;
    if (!bListened) std::cerr << "account-server: listening failed" << std::endl;
    pthread_kill(stopper.native_handle(), SIGTERM);  // its wait ends, whoever ended the listening
    stopper.join();
    return bListened ? 0 : 1;
}

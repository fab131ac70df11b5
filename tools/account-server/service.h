// The account endpoints, and the faults injected into their answers.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "accounts.h"
#include "options.h"

class AccountService {
public:
    AccountService(AccountStore& accounts, const Faults& faults)
        : m_accounts(accounts), m_faults(faults) {}

    void Install(httplib::Server& server);
    // Releases requests held by a delay or a hang.
    void Stop();

private:
    std::string Register(const std::map<std::string, std::string>& form);
    std::string Login(const std::map<std::string, std::string>& form);
    // A self-redirect, a captive portal's page or an overloaded server's 503, when the faults
    // ask for one; false otherwise.
    bool AnswerAsBrokenSite(const httplib::Request& request, httplib::Response& response) const;
    // Delays, holds or drops the request as the faults say; false when it gets no answer.
    bool BeforeAnswer(const httplib::Request& request);
    // `connection`: the client's socket (-1 when unknown), which a claimed length may hold.
    void Answer(httplib::Response& response, std::string body, int connection);
    // True when stopped before `duration` (none: forever) passed or, with a connection, when
    // its client left.
    bool WaitUnlessStopped(std::optional<std::chrono::milliseconds> duration, int connection);

    AccountStore& m_accounts;
    const Faults m_faults;
    std::atomic<bool> m_bLoginCodeUsed{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStopping = false;
};

// Fields of a form body (name=value pairs joined by '&', '+' and %XX decoded); the first of
// each name wins.
std::map<std::string, std::string> ParseForm(const std::string& body);

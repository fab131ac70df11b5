// What the reference host prints: one line per happening, "what  details", UTF-8. Lines may
// come from the plug-in's threads, so each is written whole under a lock.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "HostServices.h"
#include "ISkinControlEvent.h"

// Where a run ended: the login object's state and, after a successful login, what the result
// objects (interface numbers 3 and 2) gave. Texts are UTF-8.
struct LoginOutcome {
    bool bLogin = false;
    int32_t nError = 0;
    std::string imsi;  // the identity the host's card (or the stored default identity) gives
    std::string encodeKey;
    std::string sessionId;
    std::string password;
};

// The outcome as one line of JSON: login, error, imsi, encodekey, sessionid, password.
std::string OutcomeJson(const LoginOutcome& outcome);
// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& text);

class HostReport : public HostObserver {
public:
    explicit HostReport(std::FILE* out = stdout) : m_pOut(out) {}

    void Line(const char* what, const std::string& details) { Record(what, details, {}); }
    // A line for people, or with SetJson one JSON object for programs: {"what":...,"text":...}
    // and `fields` (more members, already JSON, without braces; empty for none).
    void Record(const char* what, const std::string& text, const std::string& fields);
    void SetJson(bool bJson) { m_bJson = bJson; }
    // Each line begins with its priority as the journal reads it from a service's output: <3>
    // for errors, <4> for what holds the login back or the plug-in warns of, <6> for the rest.
    void SetJournal(bool bJournal) { m_bJournal = bJournal; }
    // The outcome in readable lines.
    void Outcome(const LoginOutcome& outcome);

    // HostObserver.
    void OnSettingWritten(const std::string& store, const std::string& section,
                          const std::string& key, const std::string& value) override;
    void OnSimTypeNumber(int32_t simType) override;
    void OnSaveFailed(const std::string& error) override;

    // A skin-change notification as a listener received it (the name is GBK). The host's own
    // listener has no name; others are named in the line.
    void OnSkinChange(const SkinChangeInfo& info, const std::string& listener = {});

private:
    std::mutex m_mutex;
    std::FILE* m_pOut;
    bool m_bJson = false;
    bool m_bJournal = false;
};

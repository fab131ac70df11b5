// What the plug-in is doing while the host waits for its login, told in "progress" and "trace"
// lines. The plug-in is a library of its own with its own copy of the trace library, so the host
// cannot hook its trace records in memory; it reads what they leave instead:
//   - the login object's state code and success flag, polled;
//   - the plug-in's trace file, read from where it ended when the host started;
//   - the host's own settings service, which sees the plug-in ask for the registration URL just
//     before it registers and for the login URL just before it logs in.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "HostReport.h"
#include "ILogin.h"
#include "ISetting.h"

// The text that says what a state code of the login object means ("" when unknown).
std::string DescribeStateCode(int32_t code);

// One record of the plug-in's trace file, split into its parts; false for a line of another form.
struct TraceLine {
    std::string level;  // CRIT, ERRO, WARN, INFO
    std::string module;
    std::string source;  // with ":line"
    std::string message;
};
bool ParseTraceLine(const std::string& line, TraceLine& out);

// The host's settings service as the plug-in sees it: every call goes to the real one; reads of
// the server URLs are told to the watcher.
class WatchedSetting : public ISetting {
public:
    using UrlRead = std::function<void(const std::string& section, const std::string& url)>;
    WatchedSetting(ISetting& inner, UrlRead onUrlRead)
        : m_inner(inner), m_onUrlRead(std::move(onUrlRead)) {}

    void Release() override {}
    int32_t GetErrorCode() override { return m_inner.GetErrorCode(); }
    bool GetSysSetting(const std::string& section, const std::string& key,
                       std::string& value) override;
    bool SetSysSetting(const std::string& section, const std::string& key,
                       const std::string& value) override {
        return m_inner.SetSysSetting(section, key, value);
    }
    bool GetUserSetting(const std::string& section, const std::string& key,
                        std::string& value) override {
        return m_inner.GetUserSetting(section, key, value);
    }
    bool SetUserSetting(const std::string& section, const std::string& key,
                        const std::string& value) override {
        return m_inner.SetUserSetting(section, key, value);
    }
    bool GetNamedSetting(const std::string& name, std::string& value) override {
        return m_inner.GetNamedSetting(name, value);
    }
    void SetSimTypeNumber(int32_t simType) override { m_inner.SetSimTypeNumber(simType); }

private:
    ISetting& m_inner;
    UrlRead m_onUrlRead;
};

class HostProgress {
public:
    using Clock = std::chrono::steady_clock;

    // tracePath: the plug-in's trace file, relative to the current directory as the plug-in
    // opens it. Only what is written to it from now on is read.
    HostProgress(HostReport& report, std::string tracePath);

    // Seconds since the host started, as the lines show them.
    double Elapsed() const;
    std::string Stamp() const;

    // Reads new trace records and the login object's state; prints what changed. Host thread.
    void Poll(ILogin2* pLogin);
    // From the settings service (the plug-in's worker thread).
    void OnUrlRead(const std::string& section, const std::string& url);

    // From now on, notes whether a trace record whose message holds `text` is read.
    void WatchTrace(const std::string& text);
    bool TraceSeen() const { return m_bTraceSeen; }

    // The last state code and success flag seen by Poll.
    int32_t LastState() const { return m_nLastState; }
    bool LastSuccess() const { return m_bLastSuccess; }

private:
    void ReadTrace();

    HostReport& m_report;
    const std::string m_strTracePath;
    const Clock::time_point m_start;
    uint64_t m_traceOffset = 0;
    std::string m_strPending;  // an incomplete last line of the trace file
    int32_t m_nLastState = 0;
    bool m_bLastSuccess = false;
    std::string m_strWatched;
    bool m_bTraceSeen = false;
};

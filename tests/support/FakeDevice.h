// The data card and the host's device check, which hands it out and keeps device-event listeners.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>
#include "FakeReleaseCounter.h"
#include "ICheckDeviceType.h"

// The data card. Each read takes the next scripted answer; the last one repeats.
class FakeMTSComm : public MTSComm {
public:
    struct Answer {
        bool ok;
        std::string text;
        int32_t error;
    };
    bool SRVGetImsiInfo(char* pImsi, int32_t& error) override;
    bool SRVGetSpnData(char* pSpn, int32_t& error) override;

    void SetImsi(const std::string& imsi);
    void ScriptImsi(std::vector<Answer> answers);
    void SetSpn(const std::string& spn);
    void ScriptSpn(std::vector<Answer> answers);
    int ImsiReads() const { return m_nImsiReads; }
    // Called on the reading thread once a read has taken its answer, with the read's number
    // (from 1), before the answer goes back; set it before the reads begin.
    void OnImsiRead(std::function<void(int)> hook) { m_fnOnImsiRead = std::move(hook); }
    int SpnReads() const { return m_nSpnReads; }

private:
    static bool Take(std::deque<Answer>& script, char* buf, size_t size, int32_t& error);
    std::mutex m_mutex;
    std::deque<Answer> m_imsi{{true, "460001234567890", 0}};
    std::deque<Answer> m_spn{{true, "", 0}};
    std::atomic<int> m_nImsiReads{0};
    std::function<void(int)> m_fnOnImsiRead;
    std::atomic<int> m_nSpnReads{0};
};

class FakeCheckDeviceType : public ICheckDeviceType, public FakeReleaseCounter {
public:
    explicit FakeCheckDeviceType(MTSComm* pComm) : m_pComm(pComm) {}
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    MTSComm* GetMTSComm() override { return m_pComm; }
    bool AddDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) override;
    bool RemoveDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) override;

    void SetComm(MTSComm* pComm) { m_pComm = pComm; }
    // Called in each RemoveDeviceEvent, after the listener is gone; set it before.
    void OnRemove(std::function<void()> hook) { m_fnOnRemove = std::move(hook); }
    std::vector<ICheckDeviceEvent*> Listeners() const;

private:
    std::atomic<MTSComm*> m_pComm;
    mutable std::mutex m_mutex;
    std::vector<ICheckDeviceEvent*> m_listeners;
    std::function<void()> m_fnOnRemove;
};

// The host's connection state and connection check, set by the test.
#pragma once

#include <atomic>
#include "FakeReleaseCounter.h"
#include "INetConnect.h"

class FakeNetConnect : public INetConnect, public FakeReleaseCounter {
public:
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    int32_t GetConnectState() override { return m_nState; }
    std::atomic<int32_t> m_nState{0};
};

class FakeCheckNetConnection : public ICheckNetConnection, public FakeReleaseCounter {
public:
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    int32_t CheckConnection() override { return m_nResult; }
    std::atomic<int32_t> m_nResult{0};
};

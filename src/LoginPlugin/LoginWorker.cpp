// The worker loop: once a second the worker compares the SIM's identity with the last one,
// decides whether a login is due, waits for the host's network state to allow it, and runs the
// login sequence (LoginSequence.cpp).
#include "INetConnect.h"
#include "LoginImpl.h"

namespace {
constexpr uint32_t kPassMs = 1000;
constexpr int64_t kPeriodSeconds = 60;
}  // namespace

void* CLoginImpl::Thread() {
    ThreadStarted();
    try {
        std::string lastIdentity = GetIMSI();
        const std::string defaultIdentity = GetDefaultIMSI();
        std::string loggedInIdentity;
        int64_t periodStart = m_pClock->Now();
        bool bTryNow = true;

        while (!m_bStopThread) {
            m_pClock->Sleep(kPassMs);
            if (m_bStopThread) break;
            if (m_bLogining) {
                periodStart = m_pClock->Now();
                continue;
            }

            const std::string identity = GetIMSI();
            if (identity != lastIdentity) {
                if (!loggedInIdentity.empty() && identity == loggedInIdentity) {
                    // The SIM of the last successful login is back: no new login.
                    SetLoginSuccess(true);
                } else {
                    bTryNow = identity != defaultIdentity;
                    SetLoginSuccess(false);
                    periodStart = m_pClock->Now();
                }
                lastIdentity = identity;
            }
            if (m_bLoginSuccess) continue;

            const int64_t now = m_pClock->Now();
            if (now - periodStart >= kPeriodSeconds) {
                periodStart = now;
                bTryNow = true;
            } else if (!bTryNow) {
                continue;
            }

            {
                HostRef<INetConnect> net = m_Host.NetConnect();
                if (net) {
                    const int32_t state = net->GetConnectState();
                    net.Reset();
                    if (state == NET_STATE_CONNECTING || state == NET_STATE_DISCONNECTING) {
                        m_pClock->Sleep(kPassMs);
                        continue;
                    }
                }
            }
            {
                HostRef<ICheckNetConnection> check = m_Host.CheckNetConnection();
                if (!check) continue;
                const int32_t result = check->CheckConnection();
                check.Reset();
                if (result == NET_CHECK_NONE) continue;
            }

            bTryNow = false;
            if (DoLoginThread()) loggedInIdentity = lastIdentity;
        }
    } catch (...) {
        // The pass's host interfaces were released on the way out; StartLogin may start again.
    }
    return nullptr;
}

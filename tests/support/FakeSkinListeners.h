// The login object as the dialogs see it: it keeps the skin-change listeners they add and
// remove, and tells them all of a skin change as the skin switch does.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "FakeReleaseCounter.h"
#include "ILogin.h"

class FakeSkinListeners : public ILogin, public FakeReleaseCounter {
public:
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    bool StartLogin() override { return true; }
    bool IsLoginSuccess() override { return false; }
    bool IsPluginUnlisted(std::string) override { return false; }
    void CheckSimCardType(const std::string&) override {}
    bool SetEventHandler(ISkinControlEvent* pHandler) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_handlers.push_back(pHandler);
        return true;
    }
    bool RemoveEventHandler(ISkinControlEvent* pHandler) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_handlers.erase(std::remove(m_handlers.begin(), m_handlers.end(), pHandler),
                         m_handlers.end());
        return true;
    }

    std::vector<ISkinControlEvent*> Handlers() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_handlers;
    }
    void BroadcastSkinChange() {
        SkinChangeInfo info{};
        for (ISkinControlEvent* pHandler : Handlers()) pHandler->OnSkinChange(&info);
    }

private:
    std::mutex m_mutex;
    std::vector<ISkinControlEvent*> m_handlers;
};

// The host's string resources, set by the test.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include "FakeReleaseCounter.h"
#include "IStringResMgr.h"

class FakeStringRes : public IStringResMgr, public FakeReleaseCounter {
public:
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    std::string GetString(int32_t id) override;
    void Set(int32_t id, const std::string& text);

private:
    std::mutex m_mutex;
    std::map<int32_t, std::string> m_strings;
};

#include "global/GlobalAT.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "ICheckDeviceType.h"
#include "ICryptPlugin.h"
#include "IPluginContainer.h"
#include "ISetting.h"
#include "LoginSettings.h"
#include "IStringResMgr.h"
#include "PluginIds.h"
#include "global/Clock.h"
#include "global/HostRef.h"
#include "global/VelkoException.h"
#include "libs/trace/Trace.h"

namespace {

constexpr TraceSite kTrace{"GlobalAT", "global\\GlobalAT"};

constexpr int kSpnAttempts = 60;
constexpr uint32_t kSpnRetryMs = 2000;

// Waits before the next attempt; false when the owner is being stopped and should give up.
bool WaitBeforeRetry(IClock* pClock) {
    if (!pClock) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kSpnRetryMs));
        return true;
    }
    pClock->Sleep(kSpnRetryMs);
    return !pClock->IsStopped();
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Opens the file for reading and writing, making an empty one when none exists. Appending mode
// never truncates, so a table that another process writes meanwhile is never cut.
std::unique_ptr<std::FILE, FileCloser> OpenForUpdate(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(path);
    // A read-only table is opened all the same.
    if (fs::exists(p, ec))
        fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                        ec);
    return std::unique_ptr<std::FILE, FileCloser>(std::fopen(path.c_str(), "a+b"));
}

std::vector<unsigned char> ReadWhole(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) throw CVelkoException();
    const long size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) throw CVelkoException();
    std::vector<unsigned char> data(static_cast<size_t>(size), 0);
    if (!data.empty() && std::fread(data.data(), 1, data.size(), f) != data.size())
        throw CVelkoException();
    return data;
}

}  // namespace

bool DEVGetSimBrand(MTSComm* pComm, char* pSpn, int32_t& error, IClock* pClock) {
    if (!pComm) {
        TRACE_AT(kTrace, TRACE_INFO, "Leave DEVGetSimBrand() .");
        return false;
    }
    try {
        for (int attempt = 0; attempt < kSpnAttempts; ++attempt) {
            if (pComm->SRVGetSpnData(pSpn, error)) return true;
            if (error == DEVICE_ERROR_SPN_NOT_FOUND) {
                TRACE_AT(kTrace, TRACE_CRIT, "DEVGetSimBrand() file not found.");
                return false;
            }
            if (error == DEVICE_ERROR_NO_SIM) {
                TRACE_AT(kTrace, TRACE_CRIT, "DEVGetSimBrand() sim not inserted.");
                return false;
            }
            if (!WaitBeforeRetry(pClock)) return false;
            if (error != DEVICE_ERROR_SIM_BUSY && error != DEVICE_ERROR_TIMEOUT) {
                TRACE_AT(kTrace, TRACE_CRIT, std::string("DEVGetSimBrand() ") + "other error");
                return false;
            }
            const char* reason = error == DEVICE_ERROR_SIM_BUSY ? "sim busy" : "time out";
            TRACE_AT(kTrace, TRACE_CRIT,
                     std::string("DEVGetSimBrand() ") + reason + ", try again.");
        }
        return false;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_INFO, "Leave DEVGetSimBrand() .");
        return false;
    }
}

std::string LoadResString(IStringResMgr* pStringRes, int32_t id) {
    if (!pStringRes) return {};
    try {
        const std::string text = pStringRes->GetString(id);
        return std::string(text.c_str());
    } catch (...) {
        return {};
    }
}

bool ReadCryptFile(IPluginContainer* pContainer, const std::string& path, std::string& text) {
    if (!pContainer || path.empty()) return false;
    try {
        const auto crypt = QueryHost<ICryptPlugin>(pContainer, PLUGIN_ID_CRYPT, IID_CRYPT);
        if (!crypt) {
            TRACE_AT(kTrace, TRACE_ERRO, "no crypt plug-in (ICryptPlugin) is served");
            throw CVelkoException();
        }
        const auto setting = QueryHost<ISetting>(pContainer, PLUGIN_ID_SETTING, IID_SETTING);
        if (!setting) throw CVelkoException();

        std::string keySetting;
        if (!setting->GetSysSetting(SETTING_CRYPT_KEY.section, SETTING_CRYPT_KEY.key, keySetting) ||
            keySetting.empty()) {
            TRACE_AT(kTrace, TRACE_ERRO,
                     std::string("setting ") + SETTING_CRYPT_KEY.section + "/" +
                         SETTING_CRYPT_KEY.key + " is missing");
            throw CVelkoException();
        }
        const std::string key = crypt->Decrypt(keySetting);

        auto file = OpenForUpdate(path);
        if (!file) throw CVelkoException();
        const std::vector<unsigned char> input = ReadWhole(file.get());
        file.reset();

        // The decoder writes at most twice its input; the extra byte keeps a NUL at the end.
        std::vector<unsigned char> output(input.size() * 2 + 1, 0);
        const auto* pKey = reinterpret_cast<const unsigned char*>(key.data());
        if (crypt->DecryptBuffer(input.data(), static_cast<uint32_t>(input.size()), output.data(),
                                 pKey, static_cast<uint32_t>(key.size())) != 0)
            throw CVelkoException();
        text.assign(reinterpret_cast<const char*>(output.data()));
        return true;
    } catch (...) {
        return false;
    }
}

#include "global/GlobalAT.h"

#include <chrono>
#include <filesystem>
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
#include "platform/atomic_file.h"

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

// An encoded table is a few kilobytes; a file far larger is not one.
constexpr size_t kMaxBrandTableBytes = 4u << 20;

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

        // A read-only table is opened all the same; a missing one is left behind empty.
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            std::filesystem::permissions(
                path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                std::filesystem::perm_options::add, ec);
        }
        std::string bytes;
        if (ReadFileContents(path, bytes, kMaxBrandTableBytes, FileLinks::Follow, true) !=
                FileReadResult::Ok ||
            bytes.size() > kMaxBrandTableBytes) {
            throw CVelkoException();
        }
        const std::vector<unsigned char> input(bytes.begin(), bytes.end());

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

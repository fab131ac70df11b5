// A minimal host for the login plug-in: loads the library, serves the settings and the card from a
// small INI file, logs the SIM in and prints the result. Built from the installed SDK only.
//
//   minimal-host PLUGIN INI        (exit 0 logged in, 1 not, 2 usage or load error, 3 ABI mismatch)
//
// INI: the system settings by section ([LOGIN] URL=..., [REGISTER] URL=...,
// [CURRENT_USER_PRIVATE_DIR] PATH=... ending with its separator), the card ([card] imsi= spn=)
// and [host] timeout=SECONDS (default 70: the first attempt and one retry).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "ILogin.h"
#include "ILoginResponse.h"
#include "LoginAbi.h"
#include "LoginHostServices.h"
#include "LoginStates.h"
#include "PluginIds.h"

namespace {

using Ini = std::map<std::string, std::map<std::string, std::string>>;

bool ReadIni(const char* path, Ini& ini) {
    std::ifstream in(path);
    if (!in) return false;
    std::string section, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
        } else if (const size_t eq = line.find('='); eq != std::string::npos) {
            ini[section][line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return true;
}

// System settings from the INI; what the plug-in writes (SIMTYPE, SKIN) is kept in memory.
class Settings : public LoginHostSetting {
public:
    explicit Settings(Ini ini) : m_ini(std::move(ini)) {}
    bool GetSysSetting(const std::string& section, const std::string& key,
                       std::string& value) override {
        std::lock_guard<std::mutex> lock(m_mutex);  // the plug-in's worker asks too
        const auto s = m_ini.find(section);
        if (s == m_ini.end() || s->second.count(key) == 0) return false;
        value = s->second.at(key);
        return true;
    }
    bool SetSysSetting(const std::string& section, const std::string& key,
                       const std::string& value) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ini[section][key] = value;
        return true;
    }

private:
    std::mutex m_mutex;
    Ini m_ini;
};

// A card that always answers the INI's IMSI and SPN.
class Card : public MTSComm {
public:
    Card(std::string imsi, std::string spn) : m_imsi(std::move(imsi)), m_spn(std::move(spn)) {}
    bool SRVGetImsiInfo(char* pImsi, int32_t& error) override {
        return Copy(m_imsi, pImsi, MTS_IMSI_BUFFER_SIZE, error);
    }
    bool SRVGetSpnData(char* pSpn, int32_t& error) override {
        if (m_spn.empty()) return (error = DEVICE_ERROR_SPN_NOT_FOUND), false;
        return Copy(m_spn, pSpn, MTS_SPN_BUFFER_SIZE, error);
    }

private:
    static bool Copy(const std::string& text, char* buffer, int size, int32_t& error) {
        if (text.empty()) return (error = DEVICE_ERROR_NO_SIM), false;
        text.copy(buffer, size - 1);
        buffer[std::min<size_t>(text.size(), size - 1)] = '\0';
        error = 0;
        return true;
    }
    const std::string m_imsi, m_spn;
};

class Device : public LoginHostDevice {
public:
    explicit Device(MTSComm* pComm) : m_pComm(pComm) {}
    MTSComm* GetMTSComm() override { return m_pComm; }

private:
    MTSComm* m_pComm;
};

CreatePluginFn LoadPlugin(const char* path) {
#ifdef _WIN32
    HMODULE module = LoadLibraryA(path);
    return module ? reinterpret_cast<CreatePluginFn>(
                        GetProcAddress(module, LOGIN_CREATE_PLUGIN_EXPORT))
                  : nullptr;
#else
    void* module = dlopen(path, RTLD_NOW);
    if (!module) std::fprintf(stderr, "%s\n", dlerror());
    return module ? reinterpret_cast<CreatePluginFn>(dlsym(module, LOGIN_CREATE_PLUGIN_EXPORT))
                  : nullptr;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    Ini ini;
    if (argc != 3 || !ReadIni(argv[2], ini)) {
        std::fprintf(stderr, "usage: minimal-host PLUGIN INI (a readable INI file)\n");
        return 2;
    }
    const CreatePluginFn create = LoadPlugin(argv[1]);
    IBasePlugin* plugin = create ? create() : nullptr;
    if (!plugin) {
        std::fprintf(stderr, "%s: no plug-in\n", argv[1]);
        return 2;
    }
    // Before any text crosses the boundary.
    uint32_t pluginAbi = 0;
    if (!LoginAbiMatches(plugin, &pluginAbi)) {
        std::fprintf(stderr, "binary contract mismatch: plug-in %08x, this host %08x\n",
                     static_cast<unsigned>(pluginAbi), static_cast<unsigned>(LoginAbiTag()));
        return 3;
    }

    // Every service is served before the login object is made.
    Card card(ini["card"]["imsi"], ini["card"]["spn"]);
    Device device(&card);
    const int timeout = ini["host"].count("timeout") ? std::stoi(ini["host"]["timeout"]) : 70;
    ini.erase("card");
    ini.erase("host");
    Settings settings(ini);
    LoginHostNetConnect net;
    LoginHostCheckNetConnection check;
    LoginHostContainer container;
    container.Serve(PLUGIN_ID_SETTING, IID_SETTING, &settings);
    container.Serve(PLUGIN_ID_CHECK_DEVICE_TYPE, IID_CHECK_DEVICE_TYPE, &device);
    container.Serve(PLUGIN_ID_NET_CONNECT, IID_NET_CONNECT, &net);
    container.Serve(PLUGIN_ID_CHECK_NET_CONNECTION, IID_CHECK_NET_CONNECTION, &check);

    plugin->SetPluginContainer(&container);
    plugin->Initialize();
    std::printf("plug-in %s version %u\n", plugin->GetPluginID(), plugin->GetPluginVersion());
    IBaseInterface* pInterface = nullptr;
    if (!plugin->QueryInterface(IID_LOGIN, &pInterface) || !pInterface) {
        std::fprintf(stderr, "no login interface\n");
        return 2;
    }
    auto* login = static_cast<ILogin2*>(pInterface);
    container.Serve(PLUGIN_ID_LOGIN, IID_LOGIN, login);  // for the other plug-ins

    device.SendDeviceEvent(DEVICE_EVENT_AVAILABLE);
    login->StartLogin();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
    int32_t state = LOGIN_STATE_OK;
    while (!login->IsLoginSuccess() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (login->GetErrorCode() != state) {
            state = login->GetErrorCode();
            std::printf("state %d: %s\n", state, LoginStateText(state));
        }
    }
    const bool bLoggedIn = login->IsLoginSuccess();
    if (bLoggedIn) {
        IBaseInterface* pResult = nullptr;
        if (plugin->QueryInterface(IID_LOGIN_RESPONSE, &pResult) && pResult) {
            auto* response = static_cast<ILoginResponse*>(pResult);
            std::printf("logged in: session %s, encode key %s\n", response->GetSessionID().c_str(),
                        response->GetEncodeKey().c_str());
            response->Release();
        }
    } else {
        std::printf("not logged in: state %d: %s\n", login->GetErrorCode(),
                    LoginStateText(login->GetErrorCode()));
    }

    // Leave the device events, then let the plug-in go.
    if (auto* destroy = dynamic_cast<IDestroyEvent*>(plugin)) destroy->OnDestroy();
    plugin->Release();
    return bLoggedIn ? 0 : 1;
}

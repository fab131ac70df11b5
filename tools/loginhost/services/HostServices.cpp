#include "HostServices.h"

#include <algorithm>

#include "HostStringTable.h"
#include "LoginSettings.h"
#include "PluginIds.h"
#include "ServeHostServices.h"
#include "platform/textcodec.h"

HostSetting::HostSetting(HostProfile& profile, std::string defaultCrypt, HostObserver* pObserver)
    : m_profile(profile), m_strDefaultCrypt(std::move(defaultCrypt)), m_pObserver(pObserver) {}

bool HostSetting::GetSysSetting(const std::string& section, const std::string& key,
                                std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    if (m_profile.system.Get(section, key, text)) {
        value = Utf8ToGbk(text);
        return true;
    }
    if (section == SETTING_CRYPT_KEY.section && key == SETTING_CRYPT_KEY.key) {
        value = m_strDefaultCrypt;
        return true;
    }
    // The skin the build draws beside the program, for a profile that names none.
    if (section == SETTING_SKIN.section && key == SETTING_SKIN.key) {
        value = LOGINHOST_DEFAULT_SKIN;
        return true;
    }
    return false;
}

bool HostSetting::SetSysSetting(const std::string& section, const std::string& key,
                                const std::string& value) {
    return Write(m_profile.system, "system.ini", "system", section, key, value);
}

bool HostSetting::GetUserSetting(const std::string& section, const std::string& key,
                                 std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    if (!m_profile.user.Get(section, key, text)) return false;
    value = Utf8ToGbk(text);
    return true;
}

bool HostSetting::SetUserSetting(const std::string& section, const std::string& key,
                                 const std::string& value) {
    return Write(m_profile.user, "user.ini", "user", section, key, value);
}

bool HostSetting::Write(IniFile& file, const char* name, const char* store,
                        const std::string& section, const std::string& key,
                        const std::string& value) {
    const std::string text = GbkToUtf8(value);
    std::string error;
    bool saved = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!file.Set(section, key, text)) {
            error = m_profile.PathOf(name) + ": cannot hold " + section + "/" + key;
        } else {
            saved = m_profile.Save(file, name, error);
        }
    }
    if (m_pObserver) {
        if (saved) {
            m_pObserver->OnSettingWritten(store, section, key, text);
        } else {
            m_pObserver->OnSaveFailed(error);
        }
    }
    return saved;
}

bool HostSetting::GetNamedSetting(const std::string& name, std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    if (m_profile.named.Get("", name, text)) {
        value = Utf8ToGbk(text);
        return true;
    }
    // A host without screening has the setting, empty.
    if (name == SETTING_SERVICE_SCREEN_CODE) {
        value.clear();
        return true;
    }
    return false;
}

void HostSetting::SetSimTypeNumber(int32_t simType) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_simTypes.push_back(simType);
    }
    if (m_pObserver) m_pObserver->OnSimTypeNumber(simType);
}

std::vector<int32_t> HostSetting::SimTypeNumbers() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_simTypes;
}

std::string HostStringRes::GetString(int32_t id) {
    auto it = m_profile.strings.find(id);
    if (it != m_profile.strings.end()) return Utf8ToGbk(it->second);
    const char* builtIn = BuiltInString(id);
    return builtIn ? builtIn : std::string();
}

bool HostDevice::AddDeviceEvent(ICheckDeviceEvent* pEvent, int32_t /*kind*/) {
    if (!pEvent) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listeners.push_back(pEvent);
    return true;
}

bool HostDevice::RemoveDeviceEvent(ICheckDeviceEvent* pEvent, int32_t /*kind*/) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto before = m_listeners.size();
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), pEvent),
                      m_listeners.end());
    return m_listeners.size() != before;
}

int HostDevice::SendEvent(int32_t code) {
    std::vector<ICheckDeviceEvent*> listeners;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        listeners = m_listeners;
    }
    // Events may come from the host's thread and a card's at once: each has its own data.
    int32_t data = code;
    for (ICheckDeviceEvent* listener : listeners) listener->OnDeviceEvent(code, &data);
    return static_cast<int>(listeners.size());
}

size_t HostDevice::ListenerCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_listeners.size();
}

HostServices::HostServices(HostProfile& profile, HostObserver* pObserver,
                           std::unique_ptr<CardSource> source)
    : setting(profile, crypt.Encrypt(HostCrypt::DefaultWorkingKey()), pObserver),
      strings(profile),
      card(source ? std::move(source) : std::make_unique<SimulatedCard>(profile.card)),
      simulated(dynamic_cast<SimulatedCard*>(card.get())),
      device(*card),
      net(profile.net.nConnectState),
      check(profile.net.nCheckResult) {}

void HostServices::Register(HostContainer& container) {
    ServeHostServices(container, *this);
}

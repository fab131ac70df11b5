#include "FakeHost.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "ServeHostServices.h"

namespace {
template <typename Map>
bool Lookup(const Map& map, const typename Map::key_type& key, std::string& value) {
    auto it = map.find(key);
    if (it == map.end()) return false;
    value = it->second;
    return true;
}
}  // namespace

bool FakeSetting::GetSysSetting(const std::string& section, const std::string& key,
                                std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Lookup(m_sys, {section, key}, value);
}

bool FakeSetting::SetSysSetting(const std::string& section, const std::string& key,
                                const std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sys[{section, key}] = value;
    m_sysWrites.push_back(section + "/" + key + "=" + value);
    return true;
}

bool FakeSetting::GetUserSetting(const std::string& section, const std::string& key,
                                 std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Lookup(m_user, {section, key}, value);
}

bool FakeSetting::SetUserSetting(const std::string& section, const std::string& key,
                                 const std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (key == m_failUserKey) return false;
    m_user[{section, key}] = value;
    m_userWrites += (m_userWrites.empty() ? "" : " ") + section + "/" + key + "=" + value;
    return true;
}

std::string FakeSetting::TakeUserWrites() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_userWrites, {});
}

void FakeSetting::FailUserKey(const std::string& key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failUserKey = key;
}

bool FakeSetting::GetNamedSetting(const std::string& name, std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Lookup(m_named, name, value);
}

void FakeSetting::SetSimTypeNumber(int32_t simType) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_simTypes.push_back(simType);
}

void FakeSetting::Sys(const std::string& section, const std::string& key,
                      const std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sys[{section, key}] = value;
}

void FakeSetting::User(const std::string& section, const std::string& key,
                       const std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_user[{section, key}] = value;
}

void FakeSetting::Named(const std::string& name, const std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_named[name] = value;
}

std::vector<int32_t> FakeSetting::SimTypeNumbers() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_simTypes;
}

std::vector<std::string> FakeSetting::SysWrites() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sysWrites;
}

std::string FakeStringRes::GetString(int32_t id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_strings.find(id);
    return it == m_strings.end() ? std::string() : it->second;
}

void FakeStringRes::Set(int32_t id, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strings[id] = text;
}

bool FakeMTSComm::Take(std::deque<Answer>& script, char* buf, size_t size, int32_t& error) {
    const Answer answer = script.front();
    if (script.size() > 1) script.pop_front();
    if (!answer.ok) {
        error = answer.error;
        return false;
    }
    // The host writes a zero-terminated text that fits the caller's buffer.
    const size_t n = std::min(answer.text.size(), size - 1);
    std::memcpy(buf, answer.text.data(), n);
    buf[n] = '\0';
    return true;
}

bool FakeMTSComm::SRVGetImsiInfo(char* pImsi, int32_t& error) {
    const int read = ++m_nImsiReads;
    bool ok = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ok = Take(m_imsi, pImsi, MTS_IMSI_BUFFER_SIZE, error);
    }
    if (m_fnOnImsiRead) m_fnOnImsiRead(read);
    return ok;
}

bool FakeMTSComm::SRVGetSpnData(char* pSpn, int32_t& error) {
    ++m_nSpnReads;
    std::lock_guard<std::mutex> lock(m_mutex);
    return Take(m_spn, pSpn, MTS_SPN_BUFFER_SIZE, error);
}

void FakeMTSComm::SetImsi(const std::string& imsi) {
    ScriptImsi({{true, imsi, 0}});
}

void FakeMTSComm::ScriptImsi(std::vector<Answer> answers) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_imsi.assign(answers.begin(), answers.end());
}

void FakeMTSComm::SetSpn(const std::string& spn) {
    ScriptSpn({{true, spn, 0}});
}

void FakeMTSComm::ScriptSpn(std::vector<Answer> answers) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_spn.assign(answers.begin(), answers.end());
}

bool FakeCheckDeviceType::AddDeviceEvent(ICheckDeviceEvent* pEvent, int32_t /*kind*/) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listeners.push_back(pEvent);
    return true;
}

bool FakeCheckDeviceType::RemoveDeviceEvent(ICheckDeviceEvent* pEvent, int32_t /*kind*/) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), pEvent),
                          m_listeners.end());
    }
    if (m_fnOnRemove) m_fnOnRemove();
    return true;
}

std::vector<ICheckDeviceEvent*> FakeCheckDeviceType::Listeners() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_listeners;
}

std::string FakeCrypt::Encrypt(const std::string& plain) {
    std::string out = "ENC:";
    for (unsigned char c : plain) out.push_back(static_cast<char>(c ^ 0x5A));
    return out;
}

std::string FakeCrypt::Decrypt(const std::string& cipher) {
    if (cipher.compare(0, 4, "ENC:") != 0) return cipher;
    std::string out;
    for (size_t i = 4; i < cipher.size(); ++i)
        out.push_back(static_cast<char>(static_cast<unsigned char>(cipher[i]) ^ 0x5A));
    return out;
}

int32_t FakeCrypt::DecryptBuffer(const unsigned char* pInput, uint32_t count,
                                 unsigned char* pOutput, const unsigned char* pKey,
                                 uint32_t keyLength) {
    if (keyLength == 0) return -1;
    for (uint32_t i = 0; i < count; ++i) pOutput[i] = pInput[i] ^ pKey[i % keyLength];
    return 0;
}

bool FakeContainer::QueryInterface(const char* pluginId, int32_t number,
                                   IBaseInterface** ppInterface) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto key = std::make_pair(std::string(pluginId ? pluginId : ""), number);
    ++m_queries[key];
    auto it = m_served.find(key);
    if (it == m_served.end()) return false;
    *ppInterface = it->second;
    return true;
}

void FakeContainer::Serve(const std::string& pluginId, int32_t number, IBaseInterface* pInterface) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_served[{pluginId, number}] = pInterface;
}

void FakeContainer::Withdraw(const std::string& pluginId, int32_t number) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_served.erase({pluginId, number});
}

int FakeContainer::Queries(const std::string& pluginId, int32_t number) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_queries.find({pluginId, number});
    return it == m_queries.end() ? 0 : it->second;
}

FakeHost::FakeHost() {
    ServeHostServices(container, *this);
}

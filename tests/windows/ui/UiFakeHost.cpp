#include "UiFakeHost.h"

#include <algorithm>

#include "PluginIds.h"

namespace ui_text {
const char* const kNoTypeCaption = "\xCC\xE1\xCA\xBE";  // 提示
const char* const kNoType =
    "\xC7\xEB\xD1\xA1\xD4\xF1\xB4\xFA\xC0\xED\xC0\xE0\xD0\xCD";            // 请选择代理类型
const char* const kTitle = "\xB5\xC7\xC2\xBC\xC9\xE8\xD6\xC3";             // 登录设置
const char* const kBoxTitle = "\xB5\xC7\xC2\xBC\xD6\xFA\xCA\xD6 ";         // 登录助手
const char* const kTypeNone = "\xB2\xBB\xCA\xB9\xD3\xC3\xB4\xFA\xC0\xED";  // 不使用代理
const char* const kTypeUser =
    "\xCA\xB9\xD3\xC3\xD7\xD4\xB6\xA8\xD2\xE5\xB4\xFA\xC0\xED";  // 使用自定义代理
const char* const kTypeBrowser =
    "\xCA\xB9\xD3\xC3\xE4\xAF\xC0\xC0\xC6\xF7\xB4\xFA\xC0\xED";  // 使用浏览器代理
}  // namespace ui_text

bool UiFakeSetting::GetSysSetting(const std::string& section, const std::string& key,
                                  std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_sys.find({section, key});
    if (it == m_sys.end()) return false;
    value = it->second;
    return true;
}

bool UiFakeSetting::SetSysSetting(const std::string& section, const std::string& key,
                                  const std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sys[{section, key}] = value;
    return true;
}

bool UiFakeSetting::GetUserSetting(const std::string& section, const std::string& key,
                                   std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_user.find({section, key});
    if (it == m_user.end()) return false;
    value = it->second;
    return true;
}

bool UiFakeSetting::SetUserSetting(const std::string& section, const std::string& key,
                                   const std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failKeys.count(key)) return false;
    m_user[{section, key}] = value;
    m_writes.push_back(section + "/" + key + "=" + value);
    return true;
}

void UiFakeSetting::Sys(const std::string& section, const std::string& key,
                        const std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sys[{section, key}] = value;
}

void UiFakeSetting::Proxy(const std::string& key, const std::string& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_user[{"PROXY", key}] = value;
}

std::vector<std::string> UiFakeSetting::UserWrites() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writes;
}

void UiFakeSetting::FailUserKey(const std::string& key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failKeys.insert(key);
}

UiFakeStrings::UiFakeStrings() {
    m_strings = {
        {2000, ui_text::kNoTypeCaption},
        {2001, "\xC8\xB7\xB6\xA8"},  // 确定
        {2002, "\xC8\xA1\xCF\xFB"},  // 取消
        {2019, ui_text::kBoxTitle},
        {2022, "\xB4\xFA\xC0\xED\xB7\xFE\xCE\xF1\xC6\xF7"},  // 代理服务器
        {2023, "\xC0\xE0\xD0\xCD:"},                         // 类型:
        {2024, "\xB5\xD8\xD6\xB7:"},                         // 地址:
        {2025, "\xB6\xCB\xBF\xDA:"},                         // 端口:
        {2026, "\xD3\xC3\xBB\xA7:"},                         // 用户:
        {2027, "\xC3\xDC\xC2\xEB:"},                         // 密码:
        {4102, "\xC8\xB7\xB6\xA8"},                          // 确定
        {4103, "\xC8\xA1\xCF\xFB"},                          // 取消
        {4109, "\xCA\xC7"},                                  // 是
        {4110, "\xB7\xF1"},                                  // 否
        {5999, "\xB9\xD8\xB1\xD5"},                          // 关闭
        {7001, ui_text::kNoType},
        {11000, ui_text::kTypeNone},
        {11001, ui_text::kTypeUser},
        {11002, ui_text::kTypeBrowser},
        {11003, ui_text::kTitle},
    };
}

std::string UiFakeStrings::GetString(int32_t id) {
    auto it = m_strings.find(id);
    return it == m_strings.end() ? std::string() : it->second;
}

std::string UiFakeCrypt::Encrypt(const std::string& plain) {
    return "enc:" + std::string(plain.rbegin(), plain.rend());
}

std::string UiFakeCrypt::Decrypt(const std::string& cipher) {
    if (cipher.compare(0, 4, "enc:") != 0) return {};
    std::string body = cipher.substr(4);
    return std::string(body.rbegin(), body.rend());
}

bool UiFakeLogin::SetEventHandler(ISkinControlEvent* pHandler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers.push_back(pHandler);
    return true;
}

bool UiFakeLogin::RemoveEventHandler(ISkinControlEvent* pHandler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers.erase(std::remove(m_handlers.begin(), m_handlers.end(), pHandler), m_handlers.end());
    return true;
}

std::vector<ISkinControlEvent*> UiFakeLogin::Handlers() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handlers;
}

void UiFakeLogin::BroadcastSkinChange() {
    SkinChangeInfo info{};
    for (ISkinControlEvent* pHandler : Handlers()) pHandler->OnSkinChange(&info);
}

bool UiFakeContainer::QueryInterface(const char* pluginId, int32_t number,
                                     IBaseInterface** ppInterface) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_served.find({pluginId ? pluginId : "", number});
    if (it == m_served.end()) return false;
    *ppInterface = it->second;
    return true;
}

void UiFakeContainer::Serve(const std::string& pluginId, int32_t number,
                            IBaseInterface* pInterface) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_served[{pluginId, number}] = pInterface;
}

void UiFakeContainer::Refuse(const std::string& pluginId, int32_t number) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_served.erase({pluginId, number});
}

void UiFakeContainer::ServeNull(const std::string& pluginId, int32_t number) {
    Serve(pluginId, number, nullptr);
}

UiFakeHost::UiFakeHost() {
    container.Serve(PLUGIN_ID_SETTING, IID_SETTING, static_cast<ISetting*>(&setting));
    container.Serve(PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR,
                    static_cast<IStringResMgr*>(&strings));
    container.Serve(PLUGIN_ID_CRYPT, IID_CRYPT, static_cast<ICryptPlugin*>(&crypt));
    container.Serve(PLUGIN_ID_LOGIN, IID_LOGIN, static_cast<ILogin*>(&login));
    setting.Sys("SKIN", "ACTIVE", "skin\\DefaultSkin.dll");
    setting.Sys("VERSION", "MAJOR", "2.1");
}

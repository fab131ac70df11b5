#include "ProxyDialogModel.h"

#include <cstdio>
#include <cstdlib>

#include "EasyUseInterface.h"
#include "ICryptPlugin.h"
#include "IProxyInfo.h"
#include "LoginSettings.h"
#include "PluginIds.h"
#include "ProxyInfoImpl.h"
#include "global/VelkoException.h"
#include "libs/trace/Trace.h"

const char kProxyAddressMask[] =
    "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ://.";
const char kProxyPortMask[] = "0123456789";

namespace {

// The save is traced as the dialog's own.
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\SettingDlg"};

// Host strings.
constexpr int kStrNoTypeCaption = STRING_DIALOG_NO_TYPE_CAPTION;
constexpr int kStrOK = STRING_DIALOG_OK;
constexpr int kStrCancel = STRING_DIALOG_CANCEL;
constexpr int kStrGroup = STRING_DIALOG_GROUP;
constexpr int kStrLabelType = STRING_DIALOG_LABEL_FIRST;  // type, address, port, user, password
constexpr int kStrCloseTip = STRING_DIALOG_CLOSE_TIP;
constexpr int kStrNoType = STRING_DIALOG_NO_TYPE;
constexpr int kStrTitle = STRING_DIALOG_TITLE;

// The type list, in this order: host string and the proxy type it stands for.
struct TypeString {
    int nStringId;
    int32_t nType;
};
constexpr TypeString kTypeStrings[] = {
    {STRING_PROXY_TYPE_NONE, PROXY_TYPE_NONE},
    {STRING_PROXY_TYPE_USER, PROXY_TYPE_USER},
    {STRING_PROXY_TYPE_BROWSER, PROXY_TYPE_BROWSER},
};

void Store(ISetting* pSetting, const LoginSettingName& name, const std::string& value) {
    if (!pSetting->SetUserSetting(name.section, name.key, value)) {
        TRACE_AT(kTrace, TRACE_ERRO, "SetUserSetting() failed!");
        throw CVelkoException();
    }
}

}  // namespace

bool MaskAccepts(const std::string& mask, unsigned char ch) {
    if (ch < 0x20 || ch == 0x7F) return true;
    return mask.empty() || mask.find(static_cast<char>(ch)) != std::string::npos;
}

std::string ApplyMask(const std::string& mask, const std::string& text) {
    std::string kept;
    for (char ch : text)
        if (MaskAccepts(mask, static_cast<unsigned char>(ch))) kept += ch;
    return kept;
}

uint32_t ParseSkinColor(const std::string& text) {
    // Up to three tokens between blanks; the first missing one ends the reading.
    unsigned channels[3] = {0, 0, 0};
    size_t position = 0;
    for (unsigned& channel : channels) {
        const size_t start = text.find_first_not_of(' ', position);
        if (start == std::string::npos) break;
        const size_t end = text.find(' ', start);
        const std::string token = text.substr(start, end == std::string::npos ? end : end - start);
        channel = static_cast<unsigned>(atoi(token.c_str())) & 0xFF;
        position = end == std::string::npos ? text.size() : end;
    }
    return channels[0] | channels[1] << 8 | channels[2] << 16;
}

ProxyDialogTexts CProxyDialogModel::LoadTexts() const {
    ProxyDialogTexts texts;
    try {
        const HostRef<IStringResMgr> strings = CEasyUseInterface(m_pPluginContainer).StringResMgr();
        if (!strings) return texts;
        texts.group = strings->GetString(kStrGroup);
        for (int i = 0; i < 5; ++i) texts.labels[i] = strings->GetString(kStrLabelType + i);
        texts.title = strings->GetString(kStrTitle);
        texts.closeTip = strings->GetString(kStrCloseTip);
        texts.ok = strings->GetString(kStrOK);
        texts.cancel = strings->GetString(kStrCancel);
        for (const TypeString& entry : kTypeStrings)
            texts.entries.push_back({strings->GetString(entry.nStringId), entry.nType});
        texts.bLoaded = true;
    } catch (...) {
        texts = ProxyDialogTexts();
    }
    return texts;
}

void CProxyDialogModel::NoTypeMessage(std::string& text, std::string& caption) const {
    text.clear();
    caption.clear();
    try {
        const HostRef<IStringResMgr> strings = CEasyUseInterface(m_pPluginContainer).StringResMgr();
        if (!strings) return;
        text = strings->GetString(kStrNoType);
        caption = strings->GetString(kStrNoTypeCaption);
    } catch (...) {
    }
}

std::string CProxyDialogModel::ActiveSkin() const {
    std::string skin;
    try {
        HostRef<ISetting> setting = CEasyUseInterface(m_pPluginContainer).Setting();
        if (setting) setting->GetSysSetting(SETTING_SKIN.section, SETTING_SKIN.key, skin);
    } catch (...) {
        skin.clear();
    }
    return skin;
}

void CProxyDialogModel::ReadCurrent() {
    CProxyInfoImpl proxy(m_pPluginContainer);
    m_current.address = proxy.GetProxyAddress();
    m_current.port = proxy.GetProxyPort();
    m_current.user = proxy.GetProxyUser();
    m_current.password = proxy.GetProxyPassword();
    m_nType = proxy.GetProxyType();
}

int CProxyDialogModel::EntryIndexOf(const std::vector<ProxyTypeEntry>& entries, int32_t nType) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].nType == nType) return static_cast<int>(i);
    return -1;
}

bool CProxyDialogModel::FieldsFor(int32_t nType, ProxyFieldsState& state) const {
    state = ProxyFieldsState();
    switch (nType) {
        case PROXY_TYPE_NONE:
            return true;
        case PROXY_TYPE_USER:
            state.bAddress = state.bPort = state.bUser = state.bPassword = true;
            state.values = m_current;
            return true;
        case PROXY_TYPE_BROWSER: {
            state.bUser = state.bPassword = true;
            state.values.user = m_current.user;
            state.values.password = m_current.password;
            const std::string browserProxy = GetBrowserProxyServer(m_pPluginContainer);
            state.values.address = ParseProxyAddress(browserProxy);
            state.values.port = ParseProxyPort(browserProxy);
            return true;
        }
        default:
            return false;
    }
}

ProxySaveOutcome CProxyDialogModel::Save(const int32_t* pType, const ProxyFields& typed) const {
    if (!pType) return ProxySaveOutcome::NoType;
    try {
        const HostRef<ISetting> setting = CEasyUseInterface(m_pPluginContainer).Setting();
        if (!setting) {
            TRACE_AT(kTrace, TRACE_ERRO, "pISetting is NULL!");
            throw CVelkoException();
        }
        char typeText[16];
        snprintf(typeText, sizeof(typeText), "%d", static_cast<int>(*pType));
        Store(setting.Get(), SETTING_PROXY_TYPE, typeText);
        if (*pType == PROXY_TYPE_NONE) return ProxySaveOutcome::Saved;
        if (*pType == PROXY_TYPE_USER) {
            Store(setting.Get(), SETTING_PROXY_ADDRESS, typed.address);
            Store(setting.Get(), SETTING_PROXY_PORT, typed.port);
        }
        Store(setting.Get(), SETTING_PROXY_USER, typed.user);
        bool bAnswered = false;
        const HostRef<ICryptPlugin> crypt =
            QueryHost<ICryptPlugin>(m_pPluginContainer, PLUGIN_ID_CRYPT, IID_CRYPT, &bAnswered);
        if (!bAnswered) {
            TRACE_AT(kTrace, TRACE_ERRO, "GetCryptPlugin failed!");
            throw CVelkoException();
        }
        if (!crypt) {
            TRACE_AT(kTrace, TRACE_ERRO, "pCrypt pointer is null!");
            throw CVelkoException();
        }
        Store(setting.Get(), SETTING_PROXY_PASSWORD, crypt->Encrypt(typed.password));
        return ProxySaveOutcome::Saved;
    } catch (...) {
        return ProxySaveOutcome::Failed;
    }
}

#include "PluginQueries.h"

#include "ILoginResponse.h"
#include "IProxyInfo.h"
#include "ISettingUI.h"
#include "PluginIds.h"
#include "platform/textcodec.h"

bool QueryLoginResponse(IBasePlugin& plugin, std::string& encodeKey, std::string& sessionId) {
    IBaseInterface* pBase = nullptr;
    if (!plugin.QueryInterface(IID_LOGIN_RESPONSE, &pBase) || !pBase) return false;
    // The result object is the host's: its Release destroys it.
    auto* pResponse = static_cast<ILoginResponse*>(pBase);
    encodeKey = GbkToUtf8(pResponse->GetEncodeKey());
    sessionId = GbkToUtf8(pResponse->GetSessionID());
    pResponse->Release();
    return true;
}

bool QueryRegResponse(IBasePlugin& plugin, std::string& password) {
    IBaseInterface* pBase = nullptr;
    if (!plugin.QueryInterface(IID_REG_RESPONSE, &pBase) || !pBase) return false;
    auto* pResponse = static_cast<IRegResponse*>(pBase);
    password = GbkToUtf8(pResponse->GetPassword());
    pResponse->Release();
    return true;
}

void ReportQuery(IBasePlugin& plugin, int32_t number, const ILogin2* login, HostReport& report) {
    const std::string what = std::to_string(number) + ": ";
    std::string a, b;
    if (number == IID_LOGIN_RESPONSE && QueryLoginResponse(plugin, a, b)) {
        report.Line("query", what + "encodekey=" + a + " sessionid=" + b);
        return;
    }
    if (number == IID_REG_RESPONSE && QueryRegResponse(plugin, a)) {
        report.Line("query", what + "password=" + a);
        return;
    }
    IBaseInterface* pBase = nullptr;
    if (number == IID_LOGIN_RESPONSE || number == IID_REG_RESPONSE ||
        !plugin.QueryInterface(number, &pBase) || !pBase) {
        report.Line("query", what + "refused, error " + std::to_string(plugin.GetErrorCode()));
        return;
    }
    if (number == IID_LOGIN || number == IID_LOGIN_ALIAS) {
        report.Line("query", what + (pBase == login ? "the login object" : "another object"));
    } else if (number == IID_PROXY_INFO) {
        auto* pProxy = static_cast<IProxyInfo*>(pBase);
        report.Line("query", what + "proxy type=" + std::to_string(pProxy->GetProxyType()) +
                                 " address=" + GbkToUtf8(pProxy->GetProxyAddress()) +
                                 " port=" + GbkToUtf8(pProxy->GetProxyPort()) +
                                 " user=" + GbkToUtf8(pProxy->GetProxyUser()) +
                                 " password=" + GbkToUtf8(pProxy->GetProxyPassword()));
    } else if (number == IID_SETTING_UI) {
        auto* pSettingUI = static_cast<ISettingUI*>(pBase);
        report.Line("query",
                    what + "settings menu \"" + GbkToUtf8(pSettingUI->GetMenuText()) + "\"");
    } else {
        report.Line("query", what + "an interface");
    }
    // The plug-in owns these objects: their Release does nothing.
    pBase->Release();
}

int32_t ShowSettingDialog(IBasePlugin* plugin, HostReport& report) {
    IBaseInterface* pBase = nullptr;
    if (!plugin || !plugin->QueryInterface(IID_SETTING_UI, &pBase) || !pBase) {
        report.Line("dialog", "interface 20498 refused");
        return -1;
    }
    const int32_t result = static_cast<ISettingUI*>(pBase)->ShowSettingDialog();
    report.Line("dialog", std::to_string(result));
    return result;
}

// loginhost settings: what a host's menu entry for the login settings does. Opens the plug-in's
// proxy settings dialog against a profile; what the user saves goes to the profile's user.ini.
#include <cstdio>

#include "Commands.h"
#include "HostContainer.h"
#include "HostProfile.h"
#include "HostReport.h"
#include "HostServices.h"
#include "ISettingUI.h"
#include "PluginIds.h"
#include "PluginSession.h"
#include "platform/textcodec.h"

namespace {

const char* EndCodeName(int32_t code) {
    switch (code) {
        case 1:
            return "OK";
        case 2:
            return "Cancel";
        case -1:
            return "no dialog";
        default:
            return "other";
    }
}

}  // namespace

int CommandSettings(const Args& args) {
    HostOptions options;
    if (!ParseHostOptions(args, options, {"--profile", "--plugin"}, "settings")) return 2;
    HostProfile profile;
    if (!LoadProfile(options.profile, profile)) return 2;
    HostReport report;
    // The services outlive the plug-in, which may call them until it is released.
    HostServices services(profile, &report);
    HostContainer container;
    services.Register(container);
    PluginSession session;
    if (!session.Load(options.PluginPath())) {
        std::fprintf(stderr, "loginhost: %s\n", session.Error().c_str());
        return 2;
    }
    IBasePlugin* plugin = session.Plugin();
    plugin->SetPluginContainer(&container);
    plugin->Initialize();

    // A host serves every plug-in through the container, the login plug-in too: the dialog
    // listens to skin changes through it.
    IBaseInterface* pLogin = nullptr;
    if (plugin->QueryInterface(IID_LOGIN, &pLogin) && pLogin) {
        container.Serve(PLUGIN_ID_LOGIN, IID_LOGIN, pLogin);
    }
    IBaseInterface* pBase = nullptr;
    int32_t result = -1;
    if (plugin->QueryInterface(IID_SETTING_UI, &pBase) && pBase) {
        // Number 20498 is the settings UI by the host contract.
        auto* pSettingUI = static_cast<ISettingUI*>(pBase);
        report.Line("menu", GbkToUtf8(pSettingUI->GetMenuText()));
        result = pSettingUI->ShowSettingDialog();
        report.Line("dialog", std::to_string(result) + " (" + EndCodeName(result) + ")");
    } else {
        report.Line("dialog", "interface 20498 refused");
    }
    if (pLogin) {
        container.Withdraw(PLUGIN_ID_LOGIN, IID_LOGIN);
        pLogin->Release();
    }
    session.Shutdown();
    report.Line("shutdown", "OnDestroy, Release");
    return result == -1 ? 1 : 0;
}

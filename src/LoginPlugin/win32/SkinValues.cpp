#include "SkinValues.h"

#include "EasyUseInterface.h"
#include "LoginSettings.h"
#include "MessageBoxes.h"
#include "ProxyDialogModel.h"

std::string GetActiveSkinPath() {
    try {
        IPluginContainer* pContainer = GetMessageBoxContainer();
        if (!pContainer) return {};
        HostRef<ISetting> setting = CEasyUseInterface(pContainer).Setting();
        if (!setting) return {};
        std::string skin;
        setting->GetSysSetting(SETTING_SKIN.section, SETTING_SKIN.key, skin);
        setting.Release();
        return GetHostDirectory() + skin;
    } catch (...) {
        return {};
    }
}

COLORREF GetSkinColor(UINT nID) {
    try {
        std::string path = GetActiveSkinPath();
        HMODULE hSkin = path.empty() ? nullptr : LoadLibraryA(path.c_str());
        if (!hSkin) return 0;
        char buffer[1024] = {};
        LoadStringA(hSkin, nID, buffer, sizeof(buffer));
        FreeLibrary(hSkin);
        return ParseSkinColor(buffer);
    } catch (...) {
        return 0;
    }
}

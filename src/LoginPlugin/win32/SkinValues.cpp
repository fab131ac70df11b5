#include "SkinValues.h"

#include <cstdlib>

#include "EasyUseInterface.h"
#include "LoginSettings.h"
#include "MessageBoxes.h"

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
        unsigned red = 0, green = 0, blue = 0;
        std::string path = GetActiveSkinPath();
        HMODULE hSkin = path.empty() ? nullptr : LoadLibraryA(path.c_str());
        if (hSkin) {
            char buffer[1024] = {};
            LoadStringA(hSkin, nID, buffer, sizeof(buffer));
            FreeLibrary(hSkin);
            // Up to three tokens between blanks; the first missing one ends the reading.
            unsigned* channels[] = {&red, &green, &blue};
            std::string text(buffer);
            size_t position = 0;
            for (unsigned* pChannel : channels) {
                size_t start = text.find_first_not_of(' ', position);
                if (start == std::string::npos) break;
                size_t end = text.find(' ', start);
                std::string token =
                    text.substr(start, end == std::string::npos ? end : end - start);
                *pChannel = static_cast<unsigned>(atoi(token.c_str())) & 0xFF;
                position = end == std::string::npos ? text.size() : end;
            }
        }
        return RGB(red, green, blue);
    } catch (...) {
        return 0;
    }
}

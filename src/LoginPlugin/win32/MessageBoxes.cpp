#include "MessageBoxes.h"

#include <cstring>

#include "EasyUseInterface.h"
#include "LoginSettings.h"
#include "XPMessageBoxApi.h"

namespace {

// Set by the dialogs; never cleared.
IPluginContainer* g_pMessageBoxContainer = nullptr;
// What LoadBoxString reads: a copy of the above, taken by the first message box.
IPluginContainer* g_pStringContainer = nullptr;
// The message-box object may keep the record's address: it lives as long as the library.
unsigned char g_configRecord[XPMB_RECORD_SIZE];

// Host text in the system code page to UTF-16, cut to the 256-unit buffers of the message box.
struct WideText {
    wchar_t units[XPMB_TEXT_UNITS];
    explicit WideText(const std::string& text) {
        memset(units, 0, sizeof(units));
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, units, static_cast<int>(XPMB_TEXT_UNITS));
        units[XPMB_TEXT_UNITS - 1] = L'\0';
    }
};

// The host's title (string 2019 and the major version) over the caller's text.
int ShowThroughLibrary(IXPMessageBox* pBox, HWND hOwner, const char* pText, UINT nType) {
    std::string title = LoadBoxString(STRING_MESSAGE_BOX_TITLE);
    if (g_pMessageBoxContainer) {
        if (const HostRef<ISetting> setting = CEasyUseInterface(g_pMessageBoxContainer).Setting()) {
            std::string version;
            setting->GetSysSetting(SETTING_VERSION_MAJOR.section, SETTING_VERSION_MAJOR.key,
                                   version);
            title += version;
        }
    }
    WideText wideText(pText ? pText : "");
    WideText wideTitle(title);
    if (!pBox) return 0;
    pBox->SetConfig(g_configRecord);
    return pBox->Show(hOwner, wideText.units, wideTitle.units, nType);
}

}  // namespace

void SetMessageBoxContainer(IPluginContainer* pContainer) {
    g_pMessageBoxContainer = pContainer;
}

IPluginContainer* GetMessageBoxContainer() {
    return g_pMessageBoxContainer;
}

std::string GetHostDirectory() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::string directory(path, length);
    size_t slash = directory.rfind('\\');
    if (slash == std::string::npos) return {};
    return directory.substr(0, slash + 1);
}

std::string LoadBoxString(int nID) {
    try {
        if (!g_pStringContainer) return {};
        HostRef<IStringResMgr> strings = CEasyUseInterface(g_pStringContainer).StringResMgr();
        if (!strings) return {};
        std::string text = strings->GetString(nID);
        strings.Release();
        return text;
    } catch (...) {
        return {};
    }
}

int ShowMessageBox(HWND hOwner, const char* pText, const char* pCaption, UINT nType) {
    if (g_pMessageBoxContainer) {
        g_pStringContainer = g_pMessageBoxContainer;
        for (const XPMessageBoxText& slot : XPMB_RECORD_TEXTS) {
            WideText text(LoadBoxString(slot.nStringId));
            memcpy(g_configRecord + slot.nOffset, text.units, sizeof(text.units));
        }
    }

    HMODULE hLibrary = LoadLibraryA((GetHostDirectory() + XPMESSAGEBOX_DLL).c_str());
    if (!hLibrary) return MessageBoxA(hOwner, pText, pCaption, nType);
    auto pCreate = reinterpret_cast<XPMessageBoxCreateInstance>(
        reinterpret_cast<void*>(GetProcAddress(hLibrary, XPMESSAGEBOX_CREATE)));
    if (!pCreate) {
        FreeLibrary(hLibrary);
        return 0;
    }
    int result = 0;
    try {
        result = ShowThroughLibrary(pCreate(), hOwner, pText, nType);
    } catch (...) {
        FreeLibrary(hLibrary);
        throw;
    }
    FreeLibrary(hLibrary);
    return result;
}

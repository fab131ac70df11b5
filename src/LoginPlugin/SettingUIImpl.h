// The login settings menu entry and the proxy settings dialog it opens (number 20498).
#pragma once

#include <mutex>

#include "IPluginContainer.h"
#include "ISettingUI.h"

class CSettingDlg;

// "登录设置(&L)..." (login settings), GBK.
#define LOGIN_SETTING_MENU_TEXT "\xB5\xC7\xC2\xBC\xC9\xE8\xD6\xC3(&L)..."

class CSettingUIImpl : public ISettingUI {
public:
    explicit CSettingUIImpl(IPluginContainer* pContainer) : m_pPluginContainer(pContainer) {}
    virtual ~CSettingUIImpl();
    CSettingUIImpl(const CSettingUIImpl&) = delete;
    CSettingUIImpl& operator=(const CSettingUIImpl&) = delete;

    void Release() override {}
    int32_t GetErrorCode() override { return m_nErrorCode; }
    const char* GetMenuText() override { return LOGIN_SETTING_MENU_TEXT; }
    bool ReservedSlot3(int32_t, int32_t, int32_t, int32_t, int32_t) override { return true; }
    int32_t ShowSettingDialog() override;
    void ReservedSlot5() override {}
    void ReservedSlot6(int32_t, int32_t, int32_t, int32_t) override {}

private:
    // Destroys the dialog of an earlier call, window first.
    void DestroyDialog();

    int32_t m_nErrorCode = -1;
    IPluginContainer* m_pPluginContainer;
    CSettingDlg* m_pDialog = nullptr;
    bool m_bShowing = false;  // the dialog's modal loop runs (on the host's UI thread)
    // Guards the two above where a call from another thread can meet an open dialog (Linux).
    std::mutex m_showMutex;
};

// The login settings menu entry and the proxy settings dialog it opens (number 20498).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

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

    // The plug-in's release: ends an open dialog as Cancel does (nothing is stored) and waits
    // until its ShowSettingDialog has returned, until `deadline` at most; no dialog opens from
    // then on. False when the dialog still runs: the object must then be kept, the dialog uses it.
    bool EndDialog(std::chrono::steady_clock::time_point deadline);

private:
    // What a call of ShowSettingDialog finds; m_showMutex held.
    enum class Opening { kOpen, kAlreadyOpen, kEnded };
    Opening BeginShowing();
    // The dialog's loop has returned: a waiting release may go on.
    void EndShowing();
    // Asks the open dialog to end as Cancel does, from any thread; m_showMutex held. Each face
    // ends its dialog its own way.
    void RequestDialogEnd();
    // Destroys the dialog of an earlier call, window first.
    void DestroyDialog();

    int32_t m_nErrorCode = -1;
    IPluginContainer* m_pPluginContainer;
    CSettingDlg* m_pDialog = nullptr;
    bool m_bShowing = false;  // the dialog's modal loop runs (on the host's UI thread)
    std::thread::id m_showingThread;
    bool m_bEnded = false;  // released: no dialog opens any more
    // Guards the members above: a release or a second call on another thread can meet an open
    // dialog.
    std::mutex m_showMutex;
    std::condition_variable m_shownEnded;
};

// Opens the proxy settings dialog modally from the plug-in's own resources.
#include <new>

#include "SettingDlg.h"
#include "SettingUIImpl.h"
#include "libs/norvacontrol/Dialog.h"
#include "platform/module.h"

int32_t CSettingUIImpl::ShowSettingDialog() {
    HINSTANCE hModule = static_cast<HINSTANCE>(GetLibraryModuleHandle());
    if (!m_pPluginContainer || !hModule) return -1;
    // A call while the dialog runs (re-entered from its modal loop) brings the open dialog to
    // the front; deleting it under its own loop would leave the loop on freed memory.
    if (m_bShowing) {
        if (HWND hOpen = m_pDialog ? m_pDialog->GetSafeHwnd() : nullptr) {
            SetForegroundWindow(hOpen);
            BringWindowToTop(hOpen);
        }
        return IDCANCEL;
    }
    const HINSTANCE hPreviousResource = GetResourceHandle();
    bool bResourceChanged = false;
    try {
        DestroyDialog();
        m_pDialog = new (std::nothrow) CSettingDlg(nullptr);
        if (!m_pDialog) return -1;
        m_pDialog->Init(m_pPluginContainer);
        // Template 4000 lives in this library, not in the host program.
        SetResourceHandle(hModule);
        bResourceChanged = true;
        m_bShowing = true;
        const INT_PTR result = m_pDialog->DoModal();
        m_bShowing = false;
        SetResourceHandle(hPreviousResource);
        return static_cast<int32_t>(result);
    } catch (...) {
        m_bShowing = false;
        if (bResourceChanged) SetResourceHandle(hPreviousResource);
        return -1;
    }
}

void CSettingUIImpl::DestroyDialog() {
    if (!m_pDialog) return;
    if (m_pDialog->GetSafeHwnd()) m_pDialog->DestroyWindow();
    delete m_pDialog;
    m_pDialog = nullptr;
}

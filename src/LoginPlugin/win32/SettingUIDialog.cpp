// Opens the proxy settings dialog modally from the plug-in's own resources.
#include <new>

#include "SettingDlg.h"
#include "SettingUIImpl.h"
#include "libs/norvacontrol/Dialog.h"
#include "platform/module.h"

int32_t CSettingUIImpl::ShowSettingDialog() {
    HINSTANCE hModule = static_cast<HINSTANCE>(GetLibraryModuleHandle());
    if (!m_pPluginContainer || !hModule) return -1;
    const HINSTANCE hPreviousResource = GetResourceHandle();
    bool bResourceChanged = false;
    bool bShowing = false;
    try {
        CSettingDlg* pDialog = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_showMutex);
            switch (BeginShowing()) {
                case Opening::kEnded:
                    return -1;
                case Opening::kAlreadyOpen:
                    // A call while the dialog runs (re-entered from its modal loop) brings the
                    // open dialog to the front; deleting it under its own loop would leave the
                    // loop on freed memory.
                    if (HWND hOpen = m_pDialog ? m_pDialog->GetSafeHwnd() : nullptr) {
                        SetForegroundWindow(hOpen);
                        BringWindowToTop(hOpen);
                    }
                    return IDCANCEL;
                case Opening::kOpen:
                    break;
            }
            bShowing = true;
            DestroyDialog();
            m_pDialog = new (std::nothrow) CSettingDlg(nullptr);
            pDialog = m_pDialog;
        }
        INT_PTR result = -1;
        if (pDialog) {
            pDialog->Init(m_pPluginContainer);
            // Template 4000 lives in this library, not in the host program.
            SetResourceHandle(hModule);
            bResourceChanged = true;
            result = pDialog->DoModal();
            SetResourceHandle(hPreviousResource);
        }
        EndShowing();
        return static_cast<int32_t>(result);
    } catch (...) {
        if (bResourceChanged) SetResourceHandle(hPreviousResource);
        if (bShowing) EndShowing();
        return -1;
    }
}

void CSettingUIImpl::RequestDialogEnd() {
    if (m_pDialog) m_pDialog->RequestClose();
}

void CSettingUIImpl::DestroyDialog() {
    if (!m_pDialog) return;
    if (m_pDialog->GetSafeHwnd()) m_pDialog->DestroyWindow();
    delete m_pDialog;
    m_pDialog = nullptr;
}

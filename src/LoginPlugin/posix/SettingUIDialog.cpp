// Opens the proxy settings dialog, drawn by the dialog program beside the library.
#include <new>

#include "SettingDlg.h"
#include "SettingUIImpl.h"

int32_t CSettingUIImpl::ShowSettingDialog() {
    if (!m_pPluginContainer) return kDialogEndFailed;
    CSettingDlg* pDialog = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_showMutex);
        switch (BeginShowing()) {
            case Opening::kEnded:
                return kDialogEndFailed;
            case Opening::kAlreadyOpen:
                // A call while the dialog is open brings it to the front and ends at once, as a
                // call re-entered from the Windows dialog's modal loop does.
                if (m_pDialog) m_pDialog->BringToFront();
                return kDialogEndCancel;
            case Opening::kOpen:
                break;
        }
        DestroyDialog();
        m_pDialog = new (std::nothrow) CSettingDlg(m_pPluginContainer);
        pDialog = m_pDialog;
    }
    int32_t result = kDialogEndFailed;
    try {
        if (pDialog) result = pDialog->DoModal();
    } catch (...) {
    }
    EndShowing();
    return result;
}

void CSettingUIImpl::RequestDialogEnd() {
    if (m_pDialog) m_pDialog->Cancel();
}

void CSettingUIImpl::DestroyDialog() {
    delete m_pDialog;
    m_pDialog = nullptr;
}

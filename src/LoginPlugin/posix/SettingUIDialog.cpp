// Opens the proxy settings dialog, drawn by the dialog program beside the library.
#include <new>

#include "SettingDlg.h"
#include "SettingUIImpl.h"

int32_t CSettingUIImpl::ShowSettingDialog() {
    if (!m_pPluginContainer) return kDialogEndFailed;
    CSettingDlg* pDialog = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_showMutex);
        // A call while the dialog is open brings it to the front and ends at once, as a call
        // re-entered from the Windows dialog's modal loop does.
        if (m_bShowing) {
            if (m_pDialog) m_pDialog->BringToFront();
            return kDialogEndCancel;
        }
        DestroyDialog();
        m_pDialog = new (std::nothrow) CSettingDlg(m_pPluginContainer);
        if (!m_pDialog) return kDialogEndFailed;
        pDialog = m_pDialog;
        m_bShowing = true;
    }
    int32_t result = kDialogEndFailed;
    try {
        result = pDialog->DoModal();
    } catch (...) {
    }
    std::lock_guard<std::mutex> lock(m_showMutex);
    m_bShowing = false;
    return result;
}

void CSettingUIImpl::DestroyDialog() {
    delete m_pDialog;
    m_pDialog = nullptr;
}

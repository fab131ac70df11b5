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
    try {
        DestroyDialog();
        m_pDialog = new (std::nothrow) CSettingDlg(nullptr);
        if (!m_pDialog) return -1;
        m_pDialog->Init(m_pPluginContainer);
        // Template 4000 lives in this library, not in the host program.
        SetResourceHandle(hModule);
        bResourceChanged = true;
        const INT_PTR result = m_pDialog->DoModal();
        SetResourceHandle(hPreviousResource);
        return static_cast<int32_t>(result);
    } catch (...) {
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

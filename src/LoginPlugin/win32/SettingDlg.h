// The proxy settings dialog: no proxy, a proxy typed in, or the browser's proxy, stored in the
// host's user settings (section "PROXY") with the password enciphered by the host's crypt plug-in.
#pragma once

#include <atomic>

#include "IPluginContainer.h"
#include "ProxyDialogModel.h"
#include "global/BaseSubDlg.h"
#include "libs/norvacontrol/NorvaComboBox.h"
#include "libs/norvacontrol/NorvaEdit.h"
#include "libs/norvacontrol/NorvaGroupBox.h"

class CSettingDlg : public CBaseSubDlg {
public:
    explicit CSettingDlg(CWnd* pParent = nullptr);
    ~CSettingDlg() override;

    // Hands the dialog the host container; called right after construction.
    void Init(IPluginContainer* pContainer);

    BOOL OnInitDialog() override;
    // Ends the dialog as Cancel does, from any thread, also before its window exists.
    void RequestClose();

protected:
    void DoDataExchange() override;
    void LoadSkin() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void InitTexts();
    // Enables and fills the edits for the selected proxy type.
    void ApplyProxyType();
    // OK: stores the choice, then closes the dialog with IDOK whatever happened.
    void OnSave();

    CNorvaGroupBox m_grpProxy;
    CNorvaComboBox m_cbType;
    CNorvaEdit m_edAddress;
    CNorvaEdit m_edPort;
    CNorvaEdit m_edUser;
    CNorvaEdit m_edPassword;
    CNorvaStatic m_stType;
    CNorvaStatic m_stAddress;
    CNorvaStatic m_stPort;
    CNorvaStatic m_stUser;
    CNorvaStatic m_stPassword;
    CNorvaBitmapButton m_btnOK;
    CNorvaBitmapButton m_btnCancel;
    // What the dialog reads, offers and stores; the values read at opening are its own.
    CProxyDialogModel m_model{nullptr};
    bool m_bModelReady = false;
    HMODULE m_hSkinLib = nullptr;
    // The window once it is made, for a close asked for on another thread.
    std::atomic<HWND> m_hOpen{nullptr};
    std::atomic<bool> m_bCloseRequested{false};
};

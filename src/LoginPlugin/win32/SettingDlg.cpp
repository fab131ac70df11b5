#include "SettingDlg.h"

#include "EasyUseInterface.h"
#include "MessageBoxes.h"
#include "SkinValues.h"
#include "global/VelkoException.h"
#include "resource.h"

CSettingDlg::CSettingDlg(CWnd* pParent) : CBaseSubDlg(IDD_SETTING_DIALOG, pParent) {}

CSettingDlg::~CSettingDlg() {
    if (m_hSkinLib) FreeLibrary(m_hSkinLib);
    m_hSkinLib = nullptr;
}

void CSettingDlg::Init(IPluginContainer* pContainer) {
    try {
        SetPluginContainer(pContainer);
        if (!pContainer) return;
        SetMessageBoxContainer(pContainer);
        m_model = CProxyDialogModel(m_pPluginContainer);
        m_bModelReady = true;
    } catch (...) {
    }
}

void CSettingDlg::DoDataExchange() {
    CBaseSubDlg::DoDataExchange();
    DDX_Control(IDC_PROXY_GROUP, m_grpProxy);
    DDX_Control(IDC_PROXY_TYPE, m_cbType);
    DDX_Control(IDC_PROXY_ADDRESS, m_edAddress);
    DDX_Control(IDC_PROXY_PORT, m_edPort);
    DDX_Control(IDC_PROXY_USER, m_edUser);
    DDX_Control(IDC_PROXY_PASSWORD, m_edPassword);
    DDX_Control(IDOK, m_btnOK);
    DDX_Control(IDCANCEL, m_btnCancel);
    DDX_Control(IDC_LABEL_TYPE, m_stType);
    DDX_Control(IDC_LABEL_ADDRESS, m_stAddress);
    DDX_Control(IDC_LABEL_PORT, m_stPort);
    DDX_Control(IDC_LABEL_USER, m_stUser);
    DDX_Control(IDC_LABEL_PASSWORD, m_stPassword);
}

bool CSettingDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == IDOK && code == BN_CLICKED) {
        OnSave();
        return true;
    }
    if (id == IDC_PROXY_TYPE && code == CBN_SELCHANGE) {
        ApplyProxyType();
        return true;
    }
    if (id == IDC_CLOSE_BUTTON && code == BN_CLICKED) {
        OnOK();
        return true;
    }
    return CBaseSubDlg::OnCommand(wParam, lParam);
}

BOOL CSettingDlg::OnInitDialog() {
    try {
        CBaseSubDlg::OnInitDialog();
        LoadSkin();
        InitTexts();
        if (m_bModelReady) {
            m_model.ReadCurrent();
            const int32_t type = m_model.CurrentType();
            const LRESULT count = m_cbType.SendMessage(CB_GETCOUNT);
            for (LRESULT i = 0; i < count; ++i) {
                if (m_cbType.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(i)) == type) {
                    m_cbType.SendMessage(CB_SETCURSEL, static_cast<WPARAM>(i));
                    break;
                }
            }
            ApplyProxyType();
        }
        m_edAddress.SetMask(kProxyAddressMask);
        m_edPort.SetMask(kProxyPortMask);
    } catch (...) {
    }
    // A close asked for before the window existed is carried out now.
    m_hOpen = m_hWnd;
    if (m_bCloseRequested) ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    return TRUE;
}

void CSettingDlg::RequestClose() {
    m_bCloseRequested = true;
    // The dialog's procedure answers WM_CLOSE as the Cancel button: it ends, storing nothing.
    if (HWND hOpen = m_hOpen) ::PostMessageA(hOpen, WM_CLOSE, 0, 0);
}

void CSettingDlg::LoadSkin() {
    try {
        if (m_hSkinLib) {
            FreeLibrary(m_hSkinLib);
            m_hSkinLib = nullptr;
        }
        CEasyUseInterface host(m_pPluginContainer);
        const HostRef<IStringResMgr> strings = host.StringResMgr();
        if (!strings) return;
        const std::string directory = GetHostDirectory();
        HostRef<ISetting> setting = host.Setting();
        if (!setting) throw CVelkoException();
        std::string skin;
        setting->GetSysSetting("SKIN", "ACTIVE", skin);
        setting.Reset();

        m_hSkinLib = LoadLibraryA((directory + skin).c_str());
        if (!m_hSkinLib) throw CVelkoException();
        LoadSkinBitmap(m_hSkinLib, kSkinBackground, kSkinTransparent);
        SetCloseButton(m_hSkinLib, IDC_CLOSE_BUTTON, m_model.LoadTexts().closeTip);
        SetDragAnywhere(TRUE);
        m_cbType.SetComboxBmp(m_hSkinLib, 4067, 4066, 4067, 4065);
        for (CNorvaBitmapButton* pButton : {&m_btnOK, &m_btnCancel})
            pButton->SetButtonBmp(m_hSkinLib, kSkinButton, kSkinButtonHover, kSkinButtonDown, 0,
                                  kSkinButtonHover, 0, 0);
        m_grpProxy.SetGroundFrameColor(GetSkinColor(kSkinFrameColour));
        Invalidate(true);
    } catch (...) {
    }
}

void CSettingDlg::InitTexts() {
    const ProxyDialogTexts texts = m_model.LoadTexts();
    if (!texts.bLoaded) return;
    m_grpProxy.SetWindowText(texts.group);
    CNorvaStatic* labels[] = {&m_stType, &m_stAddress, &m_stPort, &m_stUser, &m_stPassword};
    for (int i = 0; i < 5; ++i) labels[i]->SetText(texts.labels[i]);
    SetTitle(IDC_TITLE, texts.title);
    SetCloseTip(texts.closeTip);
    m_btnOK.SetText(texts.ok);
    m_btnCancel.SetText(texts.cancel);
    for (const ProxyTypeEntry& entry : texts.entries) {
        // Appended at the end, so the list keeps this order although it is sorted.
        const LRESULT index = m_cbType.SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(-1),
                                                   reinterpret_cast<LPARAM>(entry.text.c_str()));
        if (index == CB_ERR) return;
        if (m_cbType.SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), entry.nType) == CB_ERR)
            return;
    }
}

void CSettingDlg::ApplyProxyType() {
    const LRESULT index = m_cbType.SendMessage(CB_GETCURSEL);
    if (index == CB_ERR) return;
    const auto type =
        static_cast<int32_t>(m_cbType.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
    CNorvaEdit* edits[] = {&m_edAddress, &m_edPort, &m_edUser, &m_edPassword};
    ProxyFieldsState state;
    if (m_model.FieldsFor(type, state)) {
        const bool enabled[] = {state.bAddress, state.bPort, state.bUser, state.bPassword};
        const std::string* values[] = {&state.values.address, &state.values.port,
                                       &state.values.user, &state.values.password};
        for (int i = 0; i < 4; ++i) {
            edits[i]->EnableWindow(enabled[i]);
            edits[i]->SetWindowText(*values[i]);
        }
    }
    for (CNorvaEdit* pEdit : edits) pEdit->Invalidate(true);
}

void CSettingDlg::OnSave() {
    if (!m_pPluginContainer) {
        CDialog::OnOK();
        return;
    }
    const LRESULT index = m_cbType.SendMessage(CB_GETCURSEL);
    int32_t type = 0;
    if (index != CB_ERR)
        type =
            static_cast<int32_t>(m_cbType.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
    ProxyFields typed;
    typed.user = m_edUser.GetWindowText();
    typed.password = m_edPassword.GetWindowText();
    typed.address = m_edAddress.GetWindowText();
    typed.port = m_edPort.GetWindowText();
    if (m_model.Save(index == CB_ERR ? nullptr : &type, typed) == ProxySaveOutcome::NoType) {
        std::string text, caption;
        m_model.NoTypeMessage(text, caption);
        ShowMessageBox(nullptr, text.c_str(), caption.c_str(), MB_ICONINFORMATION);
    }
    // Whatever was stored stays stored; the dialog closes all the same.
    CDialog::OnOK();
}

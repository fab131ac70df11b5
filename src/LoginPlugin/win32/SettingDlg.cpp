#include "SettingDlg.h"

#include <cstdio>

#include "EasyUseInterface.h"
#include "ICryptPlugin.h"
#include "LoginSettings.h"
#include "MessageBoxes.h"
#include "PluginIds.h"
#include "ProxyInfoImpl.h"
#include "SkinValues.h"
#include "global/VelkoException.h"
#include "libs/trace/Trace.h"
#include "resource.h"

namespace {

constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\SettingDlg"};

// What the address and port edits take.
const char kAddressMask[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ://.";
const char kPortMask[] = "0123456789";

// The skin's background: pure green is cut out of the window.
constexpr UINT kSkinBackground = 7089;
constexpr COLORREF kSkinTransparent = RGB(0, 255, 0);
constexpr UINT kSkinFrameColour = 7191;

// Host strings.
constexpr int kStrNoTypeCaption = STRING_DIALOG_NO_TYPE_CAPTION;
constexpr int kStrOK = STRING_DIALOG_OK;
constexpr int kStrCancel = STRING_DIALOG_CANCEL;
constexpr int kStrGroup = STRING_DIALOG_GROUP;
constexpr int kStrLabelType = STRING_DIALOG_LABEL_FIRST;  // type, address, port, user, password
constexpr int kStrCloseTip = STRING_DIALOG_CLOSE_TIP;
constexpr int kStrNoType = STRING_DIALOG_NO_TYPE;
constexpr int kStrTitle = STRING_DIALOG_TITLE;

// The type list, in this order: host string and the proxy type it stands for.
struct TypeEntry {
    int nStringId;
    int32_t nType;
};
constexpr TypeEntry kTypeEntries[] = {
    {STRING_PROXY_TYPE_NONE, PROXY_TYPE_NONE},
    {STRING_PROXY_TYPE_USER, PROXY_TYPE_USER},
    {STRING_PROXY_TYPE_BROWSER, PROXY_TYPE_BROWSER},
};

}  // namespace

CSettingDlg::CSettingDlg(CWnd* pParent) : CBaseSubDlg(IDD_SETTING_DIALOG, pParent) {}

CSettingDlg::~CSettingDlg() {
    if (m_hSkinLib) FreeLibrary(m_hSkinLib);
    m_hSkinLib = nullptr;
    delete m_pProxyInfo;
    m_pProxyInfo = nullptr;
}

void CSettingDlg::Init(IPluginContainer* pContainer) {
    try {
        SetPluginContainer(pContainer);
        if (!pContainer) return;
        SetMessageBoxContainer(pContainer);
        delete m_pProxyInfo;
        m_pProxyInfo = nullptr;
        m_pProxyInfo = new CProxyInfoImpl(m_pPluginContainer);
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
        if (m_pProxyInfo) {
            m_strAddress = m_pProxyInfo->GetProxyAddress();
            m_strPort = m_pProxyInfo->GetProxyPort();
            m_strUser = m_pProxyInfo->GetProxyUser();
            m_strPassword = m_pProxyInfo->GetProxyPassword();
            const int32_t type = m_pProxyInfo->GetProxyType();
            const LRESULT count = m_cbType.SendMessage(CB_GETCOUNT);
            for (LRESULT i = 0; i < count; ++i) {
                if (m_cbType.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(i)) == type) {
                    m_cbType.SendMessage(CB_SETCURSEL, static_cast<WPARAM>(i));
                    break;
                }
            }
            ApplyProxyType();
        }
        m_edAddress.SetMask(kAddressMask);
        m_edPort.SetMask(kPortMask);
    } catch (...) {
    }
    return TRUE;
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
        setting->GetSysSetting(SETTING_SKIN.section, SETTING_SKIN.key, skin);
        setting.Reset();

        m_hSkinLib = LoadLibraryA((directory + skin).c_str());
        if (!m_hSkinLib) throw CVelkoException();
        LoadSkinBitmap(m_hSkinLib, kSkinBackground, kSkinTransparent);
        SetCloseButton(m_hSkinLib, IDC_CLOSE_BUTTON, strings->GetString(kStrCloseTip));
        SetDragAnywhere(TRUE);
        m_cbType.SetComboxBmp(m_hSkinLib, 4067, 4066, 4067, 4065);
        m_btnOK.SetButtonBmp(m_hSkinLib, 4001, 4003, 4002, 0, 4003, 0, 0);
        m_btnCancel.SetButtonBmp(m_hSkinLib, 4001, 4003, 4002, 0, 4003, 0, 0);
        m_grpProxy.SetGroundFrameColor(GetSkinColor(kSkinFrameColour));
        Invalidate(true);
    } catch (...) {
    }
}

void CSettingDlg::InitTexts() {
    try {
        const HostRef<IStringResMgr> strings = CEasyUseInterface(m_pPluginContainer).StringResMgr();
        if (!strings) return;
        m_grpProxy.SetWindowText(strings->GetString(kStrGroup));
        CNorvaStatic* labels[] = {&m_stType, &m_stAddress, &m_stPort, &m_stUser, &m_stPassword};
        int id = kStrLabelType;
        for (CNorvaStatic* pLabel : labels) pLabel->SetText(strings->GetString(id++));
        SetTitle(IDC_TITLE, strings->GetString(kStrTitle));
        SetCloseTip(strings->GetString(kStrCloseTip));
        m_btnOK.SetText(strings->GetString(kStrOK));
        m_btnCancel.SetText(strings->GetString(kStrCancel));
        for (const TypeEntry& entry : kTypeEntries) {
            // Appended at the end, so the list keeps this order although it is sorted.
            const std::string text = strings->GetString(entry.nStringId);
            const LRESULT index = m_cbType.SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(-1),
                                                       reinterpret_cast<LPARAM>(text.c_str()));
            if (index == CB_ERR) throw CVelkoException();
            if (m_cbType.SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), entry.nType) ==
                CB_ERR)
                throw CVelkoException();
        }
    } catch (...) {
    }
}

void CSettingDlg::ApplyProxyType() {
    const LRESULT index = m_cbType.SendMessage(CB_GETCURSEL);
    if (index == CB_ERR) return;
    CNorvaEdit* edits[] = {&m_edAddress, &m_edPort, &m_edUser, &m_edPassword};
    switch (m_cbType.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index))) {
        case PROXY_TYPE_NONE:
            for (CNorvaEdit* pEdit : edits) {
                pEdit->EnableWindow(false);
                pEdit->SetWindowText("");
            }
            break;
        case PROXY_TYPE_USER:
            for (CNorvaEdit* pEdit : edits) pEdit->EnableWindow(true);
            m_edAddress.SetWindowText(m_strAddress);
            m_edPort.SetWindowText(m_strPort);
            m_edUser.SetWindowText(m_strUser);
            m_edPassword.SetWindowText(m_strPassword);
            break;
        case PROXY_TYPE_BROWSER: {
            m_edAddress.EnableWindow(false);
            m_edPort.EnableWindow(false);
            m_edUser.EnableWindow(true);
            m_edPassword.EnableWindow(true);
            m_edUser.SetWindowText(m_strUser);
            m_edPassword.SetWindowText(m_strPassword);
            const std::string browserProxy = GetIEProxyServer();
            m_edAddress.SetWindowText(ParseProxyAddress(browserProxy));
            m_edPort.SetWindowText(ParseProxyPort(browserProxy));
            break;
        }
        default:
            break;
    }
    for (CNorvaEdit* pEdit : edits) pEdit->Invalidate(true);
}

void CSettingDlg::OnSave() {
    if (!m_pPluginContainer) {
        CDialog::OnOK();
        return;
    }
    try {
        CEasyUseInterface host(m_pPluginContainer);
        const HostRef<IStringResMgr> strings = host.StringResMgr();
        const LRESULT index = m_cbType.SendMessage(CB_GETCURSEL);
        if (index == CB_ERR) {
            const std::string text = strings ? strings->GetString(kStrNoType) : std::string();
            const std::string caption =
                strings ? strings->GetString(kStrNoTypeCaption) : std::string();
            ShowMessageBox(nullptr, text.c_str(), caption.c_str(), MB_ICONINFORMATION);
            throw CVelkoException();
        }
        const int32_t type =
            static_cast<int32_t>(m_cbType.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
        const std::string user = m_edUser.GetWindowText();
        const std::string password = m_edPassword.GetWindowText();
        const std::string address = m_edAddress.GetWindowText();
        const std::string port = m_edPort.GetWindowText();

        const HostRef<ISetting> setting = host.Setting();
        if (!setting) {
            TRACE_AT(kTrace, TRACE_ERRO, "pISetting is NULL!");
            throw CVelkoException();
        }
        char typeText[16];
        snprintf(typeText, sizeof(typeText), "%d", static_cast<int>(type));
        if (!setting->SetUserSetting(SETTING_PROXY_TYPE.section, SETTING_PROXY_TYPE.key,
                                     typeText)) {
            TRACE_AT(kTrace, TRACE_ERRO, "SetUserSetting() failed!");
            throw CVelkoException();
        }
        if (type != PROXY_TYPE_NONE) {
            if (type == PROXY_TYPE_USER) {
                if (!setting->SetUserSetting(SETTING_PROXY_ADDRESS.section,
                                             SETTING_PROXY_ADDRESS.key, address)) {
                    TRACE_AT(kTrace, TRACE_ERRO, "SetUserSetting() failed!");
                    throw CVelkoException();
                }
                if (!setting->SetUserSetting(SETTING_PROXY_PORT.section, SETTING_PROXY_PORT.key,
                                             port)) {
                    TRACE_AT(kTrace, TRACE_ERRO, "SetUserSetting() failed!");
                    throw CVelkoException();
                }
            }
            if (!setting->SetUserSetting(SETTING_PROXY_USER.section, SETTING_PROXY_USER.key,
                                         user)) {
                TRACE_AT(kTrace, TRACE_ERRO, "SetUserSetting() failed!");
                throw CVelkoException();
            }
            bool bAnswered = false;
            const HostRef<ICryptPlugin> crypt =
                QueryHost<ICryptPlugin>(m_pPluginContainer, PLUGIN_ID_CRYPT, IID_CRYPT, &bAnswered);
            if (!bAnswered) {
                TRACE_AT(kTrace, TRACE_ERRO, "GetCryptPlugin failed!");
                throw CVelkoException();
            }
            if (!crypt) {
                TRACE_AT(kTrace, TRACE_ERRO, "pCrypt pointer is null!");
                throw CVelkoException();
            }
            if (!setting->SetUserSetting(SETTING_PROXY_PASSWORD.section, SETTING_PROXY_PASSWORD.key,
                                         crypt->Encrypt(password))) {
                TRACE_AT(kTrace, TRACE_ERRO, "SetUserSetting() failed!");
                throw CVelkoException();
            }
        }
    } catch (...) {
        // Whatever was stored stays stored; the dialog closes all the same.
    }
    CDialog::OnOK();
}

#include "BaseSubDlg.h"

#include "PluginIds.h"
#include "libs/trace/Trace.h"
#include "VelkoException.h"
#include "libs/norvacontrol/SkinRegion.h"

namespace {

constexpr TraceSite kTrace{"CBaseSubDlg", "global\\BaseSubDlg"};

// The close button sits in the top right corner of the skin, the title centred over its top.
constexpr int kCloseRightOffset = 23;
constexpr int kCloseTop = 5;
constexpr int kCloseWidth = 18;
constexpr int kCloseHeight = 19;
constexpr int kTitleTop = 7;
constexpr int kTitleWidth = 150;
constexpr int kTitleHeight = 20;

}  // namespace

CBaseSubDlg::CBaseSubDlg(UINT nIDTemplate, CWnd* pParent) : CDialog(nIDTemplate, pParent) {}

CBaseSubDlg::~CBaseSubDlg() {
    m_pPluginContainer = nullptr;
    m_btnClose.UnsubclassWindow();
    m_stTitle.UnsubclassWindow();
    if (m_hBackground) DeleteObject(m_hBackground);
    m_hBackground = nullptr;
}

IPluginContainer* CBaseSubDlg::SetPluginContainer(IPluginContainer* pContainer) {
    m_pPluginContainer = pContainer;
    return m_pPluginContainer;
}

void CBaseSubDlg::PreSubclassWindow() {
    CDialog::PreSubclassWindow();
    if (GetStyle() & (WS_DLGFRAME | WS_BORDER)) ModifyStyle(WS_DLGFRAME | WS_BORDER, 0);
}

BOOL CBaseSubDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    RegisterSkinNotify();
    return TRUE;
}

HostRef<ILogin> CBaseSubDlg::GetLoginInterface() {
    HostRef<ILogin> login = QueryHost<ILogin>(m_pPluginContainer, PLUGIN_ID_LOGIN, IID_LOGIN);
    if (!login) throw CVelkoException();
    return login;
}

void CBaseSubDlg::RegisterSkinNotify() {
    try {
        GetLoginInterface()->SetEventHandler(this);
    } catch (...) {
        // Without the login object the dialog simply misses skin changes.
    }
}

void CBaseSubDlg::UnregisterSkinNotify() {
    try {
        GetLoginInterface()->RemoveEventHandler(this);
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "LEAVE UnregisterSkinNotify()");
    }
}

int32_t CBaseSubDlg::OnSkinChange(SkinChangeInfo* /*pInfo*/) {
    HWND hWnd = m_hWnd;
    return (hWnd && ::PostMessageA(hWnd, WM_SKINCHANGED, 0, 0)) ? TRUE : FALSE;
}

bool CBaseSubDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    switch (message) {
        case WM_SKINCHANGED:
            OnSkinChanged();
            *pResult = 0;
            return true;
        case WM_ERASEBKGND:
            if (!OnEraseBkgnd(reinterpret_cast<HDC>(wParam))) return false;
            *pResult = TRUE;
            return true;
        case WM_NCHITTEST:
            if (!m_bDragAnywhere) return false;
            *pResult = HTCAPTION;
            return true;
        case WM_DESTROY:
            OnDestroy();
            return false;
        default:
            return CDialog::OnMessage(message, wParam, lParam, pResult);
    }
}

void CBaseSubDlg::OnSkinChanged() {
    try {
        bool visible = IsWindowVisible();
        if (visible) ShowWindow(SW_HIDE);
        LoadSkin();
        if (visible) ShowWindow(SW_SHOW);
    } catch (...) {
    }
}

void CBaseSubDlg::OnDestroy() {
    UnregisterSkinNotify();
    if (m_btnClose.GetSafeHwnd()) m_btnClose.UnsubclassWindow();
    if (m_stTitle.GetSafeHwnd()) m_stTitle.UnsubclassWindow();
}

bool CBaseSubDlg::OnEraseBkgnd(HDC hdc) {
    if (!m_bHasBackground || !m_hBackground) return false;
    HDC hMemory = CreateCompatibleDC(hdc);
    if (!hMemory) return true;
    HGDIOBJ hOld = SelectObject(hMemory, m_hBackground);
    if (hOld) {
        BitBlt(hdc, 0, 0, m_bmInfo.bmWidth, m_bmInfo.bmHeight, hMemory, 0, 0, SRCCOPY);
        SelectObject(hMemory, hOld);
    }
    DeleteDC(hMemory);
    return true;
}

BOOL CBaseSubDlg::LoadSkinBitmap(HINSTANCE hSkinLib, UINT nID, COLORREF crTransparent) {
    HBITMAP hLoaded = nullptr;
    HDC hSource = nullptr;
    HDC hTarget = nullptr;
    HGDIOBJ hOldSource = nullptr;
    HGDIOBJ hOldTarget = nullptr;
    try {
        if (!hSkinLib) throw CVelkoException();
        if (m_hBackground) {
            DeleteObject(m_hBackground);
            m_hBackground = nullptr;
        }
        hLoaded = static_cast<HBITMAP>(LoadImageA(hSkinLib, MAKEINTRESOURCEA(LOWORD(nID)),
                                                  IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (!hLoaded) throw CVelkoException();
        if (!GetObjectA(hLoaded, sizeof(m_bmInfo), &m_bmInfo)) throw CVelkoException();

        MoveWindow(0, 0, m_bmInfo.bmWidth, m_bmInfo.bmHeight, true);
        CenterWindow();

        // The dialog keeps its own copy of the picture; the loaded one goes at the end.
        hSource = CreateCompatibleDC(nullptr);
        hTarget = CreateCompatibleDC(nullptr);
        if (!hSource || !hTarget) throw CVelkoException();
        hOldSource = SelectObject(hSource, hLoaded);
        if (!hOldSource) throw CVelkoException();
        m_hBackground = CreateCompatibleBitmap(hSource, m_bmInfo.bmWidth, m_bmInfo.bmHeight);
        if (!m_hBackground) throw CVelkoException();
        hOldTarget = SelectObject(hTarget, m_hBackground);
        if (!hOldTarget) throw CVelkoException();
        if (!BitBlt(hTarget, 0, 0, m_bmInfo.bmWidth, m_bmInfo.bmHeight, hSource, 0, 0, SRCCOPY))
            throw CVelkoException();
        SelectObject(hSource, hOldSource);
        SelectObject(hTarget, hOldTarget);
        hOldSource = hOldTarget = nullptr;
        DeleteDC(hSource);
        DeleteDC(hTarget);
        hSource = hTarget = nullptr;

        if (m_bmInfo.bmBitsPixel == 24) {
            BuildRegionFromBits(&m_bmInfo, crTransparent);
        } else {
            BuildRegionFromPixels(crTransparent);
        }
        DeleteObject(hLoaded);
        m_bHasBackground = TRUE;
        return TRUE;
    } catch (...) {
        if (hOldSource) SelectObject(hSource, hOldSource);
        if (hOldTarget) SelectObject(hTarget, hOldTarget);
        if (hLoaded) DeleteObject(hLoaded);
        if (hSource) DeleteDC(hSource);
        if (hTarget) DeleteDC(hTarget);
        m_bHasBackground = FALSE;
        return FALSE;
    }
}

void CBaseSubDlg::BuildRegionFromBits(const BITMAP* pBitmap, COLORREF crTransparent) {
    if (!pBitmap) return;
    HRGN hRegion = CreateRegionFromDib24(*pBitmap, crTransparent);
    // The window owns the region from here on.
    if (hRegion && !SetWindowRgn(m_hWnd, hRegion, FALSE)) DeleteObject(hRegion);
}

void CBaseSubDlg::BuildRegionFromPixels(COLORREF crTransparent) {
    HRGN hRegion =
        CreateRegionFromBitmap(m_hBackground, m_bmInfo.bmWidth, m_bmInfo.bmHeight, crTransparent);
    if (hRegion && !SetWindowRgn(m_hWnd, hRegion, FALSE)) DeleteObject(hRegion);
}

BOOL CBaseSubDlg::SetCloseButton(HINSTANCE hSkinLib, UINT nID, const std::string& tip) {
    if (!hSkinLib || !m_bHasBackground) return FALSE;
    if (m_btnClose.GetSafeHwnd()) m_btnClose.UnsubclassWindow();
    m_btnClose.SubclassDlgItem(static_cast<int>(nID), this);
    m_btnClose.SetButtonBmp(hSkinLib, 7024, 0, 0, 7112, 7105, 0, 0);
    m_btnClose.SetToolTips(tip, 0);
    m_btnClose.MoveWindow(m_bmInfo.bmWidth - kCloseRightOffset, kCloseTop, kCloseWidth,
                          kCloseHeight, true);
    return TRUE;
}

BOOL CBaseSubDlg::SetTitle(UINT nID, const std::string& title) {
    if (!m_bHasBackground) return FALSE;
    if (m_stTitle.GetSafeHwnd()) m_stTitle.UnsubclassWindow();
    m_stTitle.SubclassDlgItem(static_cast<int>(nID), this);
    if (!(m_stTitle.GetStyle() & SS_CENTER)) m_stTitle.ModifyStyle(SS_RIGHT, SS_CENTER);
    m_stTitle.SetTextColor(RGB(255, 255, 255));
    m_stTitle.SetText(title);
    m_stTitle.MoveWindow((m_bmInfo.bmWidth - 120) / 2 - 10, kTitleTop, kTitleWidth, kTitleHeight,
                         true);
    SetWindowText(title);
    return TRUE;
}

BOOL CBaseSubDlg::SetCloseTip(const std::string& tip) {
    if (m_btnClose.GetSafeHwnd()) return FALSE;
    m_btnClose.SetToolTips(tip, 0);
    return TRUE;
}

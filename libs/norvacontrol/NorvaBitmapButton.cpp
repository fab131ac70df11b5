#include "NorvaBitmapButton.h"

#include <commctrl.h>

CNorvaBitmapButton::~CNorvaBitmapButton() {
    DestroyToolTip();
}

void CNorvaBitmapButton::PreSubclassWindow() {
    // The parent hands WM_DRAWITEM back to us: the button draws itself in every state.
    ::SendMessageA(m_hWnd, BM_SETSTYLE, BS_OWNERDRAW, FALSE);
    UpdateToolTip();
}

BOOL CNorvaBitmapButton::SetButtonBmp(HINSTANCE hLibrary, UINT nNormal, UINT nHover, UINT nPressed,
                                      UINT nHoverAlt, UINT nPressedAlt, UINT nDisabled,
                                      UINT /*nReserved*/) {
    bool ok = m_imgNormal.Load(hLibrary, nNormal);
    ok = m_imgHover.Load(hLibrary, nHover ? nHover : nHoverAlt) && ok;
    ok = m_imgPressed.Load(hLibrary, nPressed ? nPressed : nPressedAlt) && ok;
    ok = m_imgDisabled.Load(hLibrary, nDisabled) && ok;
    Invalidate(false);
    return ok ? TRUE : FALSE;
}

void CNorvaBitmapButton::SetToolTips(const std::string& tip, int /*nFlags*/) {
    m_strTip = tip;
    UpdateToolTip();
}

void CNorvaBitmapButton::SetText(const std::string& text) {
    SetWindowText(text);
    Invalidate(false);
}

void CNorvaBitmapButton::SetTextColor(COLORREF color) {
    m_crText = color;
    Invalidate(false);
}

void CNorvaBitmapButton::UpdateToolTip() {
    DestroyToolTip();
    if (!m_hWnd || m_strTip.empty()) return;
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    m_hToolTip =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, GetParent(m_hWnd), nullptr, nullptr, nullptr);
    if (!m_hToolTip) return;
    TOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = GetParent(m_hWnd);
    info.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    info.lpszText = const_cast<char*>(m_strTip.c_str());
    ::SendMessageA(m_hToolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

void CNorvaBitmapButton::DestroyToolTip() {
    if (m_hToolTip) ::DestroyWindow(m_hToolTip);
    m_hToolTip = nullptr;
}

LRESULT CNorvaBitmapButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_hToolTip && message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
        MSG msg{m_hWnd, message, wParam, lParam, 0, {}};
        ::SendMessageA(m_hToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }
    switch (message) {
        case WM_MOUSEMOVE:
            if (!m_bHover) {
                m_bHover = true;
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
                TrackMouseEvent(&track);
                Invalidate(false);
            }
            break;
        case WM_MOUSELEAVE:
            m_bHover = false;
            Invalidate(false);
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_DESTROY:
            DestroyToolTip();
            break;
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

bool CNorvaBitmapButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* pResult) {
    if (message != WM_DRAWITEM) return false;
    Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *pResult = TRUE;
    return true;
}

void CNorvaBitmapButton::Draw(const DRAWITEMSTRUCT& item) {
    HDC hdc = item.hDC;
    RECT rc = item.rcItem;
    const CSkinImage* pImage = nullptr;
    if (item.itemState & ODS_DISABLED) {
        pImage = FirstLoaded({&m_imgDisabled, &m_imgNormal});
    } else if (item.itemState & ODS_SELECTED) {
        pImage = FirstLoaded({&m_imgPressed, &m_imgNormal});
    } else if (m_bHover) {
        pImage = FirstLoaded({&m_imgHover, &m_imgNormal});
    } else {
        pImage = FirstLoaded({&m_imgNormal});
    }
    if (pImage) {
        pImage->Draw(hdc, rc);
    } else {
        UINT state = DFCS_BUTTONPUSH | ((item.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0) |
                     ((item.itemState & ODS_DISABLED) ? DFCS_INACTIVE : 0);
        DrawFrameControl(hdc, &rc, DFC_BUTTON, state);
    }
    std::string text = GetWindowText();
    if (!text.empty()) {
        HGDIOBJ hOldFont =
            SelectObject(hdc, reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
        int mode = SetBkMode(hdc, TRANSPARENT);
        COLORREF old = ::SetTextColor(
            hdc, (item.itemState & ODS_DISABLED) ? GetSysColor(COLOR_GRAYTEXT) : m_crText);
        if (item.itemState & ODS_SELECTED) OffsetRect(&rc, 1, 1);
        DrawTextA(hdc, text.c_str(), static_cast<int>(text.size()), &rc,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        ::SetTextColor(hdc, old);
        SetBkMode(hdc, mode);
        SelectObject(hdc, hOldFont);
    }
    if ((item.itemState & ODS_FOCUS) && !pImage) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(hdc, &focus);
    }
}

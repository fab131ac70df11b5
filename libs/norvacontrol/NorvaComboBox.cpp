#include "NorvaComboBox.h"

#include <vector>

BOOL CNorvaComboBox::SetComboxBmp(HINSTANCE hLibrary, UINT nArrow, UINT nArrowHover,
                                  UINT nArrowDropped, UINT nField) {
    bool ok = m_imgArrow.Load(hLibrary, nArrow);
    ok = m_imgArrowHover.Load(hLibrary, nArrowHover) && ok;
    ok = m_imgArrowDropped.Load(hLibrary, nArrowDropped) && ok;
    ok = m_imgField.Load(hLibrary, nField) && ok;
    Invalidate(false);
    return ok ? TRUE : FALSE;
}

LRESULT CNorvaComboBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsSkinned()) return Default(message, wParam, lParam);
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(m_hWnd, &ps);
            Paint(hdc);
            EndPaint(m_hWnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
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
        default:
            break;
    }
    LRESULT result = Default(message, wParam, lParam);
    // The native control paints some state changes at once, outside WM_PAINT: paint over it.
    switch (message) {
        case CB_SETCURSEL:
        case CB_SHOWDROPDOWN:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_KEYDOWN:
        case WM_COMMAND:
            Invalidate(false);
            break;
        default:
            break;
    }
    return result;
}

void CNorvaComboBox::Paint(HDC hdc) {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int height = rc.bottom - rc.top;
    int arrowWidth = m_imgArrow.Height() > 0 ? m_imgArrow.Width() * height / m_imgArrow.Height()
                                             : GetSystemMetrics(SM_CXVSCROLL);
    RECT rcArrow{rc.right - arrowWidth, rc.top, rc.right, rc.bottom};
    RECT rcField{rc.left, rc.top, rcArrow.left, rc.bottom};

    if (!m_imgField.Draw(hdc, rcField)) {
        FillRect(hdc, &rcField, GetSysColorBrush(IsWindowEnabled() ? COLOR_WINDOW : COLOR_3DFACE));
        FrameRect(hdc, &rcField, GetSysColorBrush(COLOR_3DSHADOW));
    }
    bool dropped = ::SendMessageA(m_hWnd, CB_GETDROPPEDSTATE, 0, 0) != 0;
    const CSkinImage* pArrow = dropped    ? FirstLoaded({&m_imgArrowDropped, &m_imgArrow})
                               : m_bHover ? FirstLoaded({&m_imgArrowHover, &m_imgArrow})
                                          : &m_imgArrow;
    pArrow->Draw(hdc, rcArrow);

    LRESULT index = ::SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0);
    if (index != CB_ERR) {
        LRESULT length = ::SendMessageA(m_hWnd, CB_GETLBTEXTLEN, index, 0);
        if (length != CB_ERR) {
            std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
            ::SendMessageA(m_hWnd, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
            RECT rcText = rcField;
            InflateRect(&rcText, -4, 0);
            HGDIOBJ hOldFont = SelectObject(
                hdc, reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
            int mode = SetBkMode(hdc, TRANSPARENT);
            COLORREF old = SetTextColor(
                hdc, GetSysColor(IsWindowEnabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
            DrawTextA(hdc, text.data(), -1, &rcText,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
            SetTextColor(hdc, old);
            SetBkMode(hdc, mode);
            SelectObject(hdc, hOldFont);
        }
    }
    if (GetFocus() == m_hWnd && !dropped) {
        RECT rcFocus = rcField;
        InflateRect(&rcFocus, -2, -2);
        DrawFocusRect(hdc, &rcFocus);
    }
}

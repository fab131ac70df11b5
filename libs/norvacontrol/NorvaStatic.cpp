#include "NorvaStatic.h"

void CNorvaStatic::SetTextColor(COLORREF color) {
    m_crText = color;
    RepaintBehind();
}

void CNorvaStatic::SetText(const std::string& text) {
    SetWindowText(text);
}

void CNorvaStatic::RepaintBehind() {
    if (!m_hWnd) return;
    HWND hParent = GetParent(m_hWnd);
    if (!hParent) {
        Invalidate(true);
        return;
    }
    RECT rc;
    GetWindowRect(m_hWnd, &rc);
    MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    // Without WS_CLIPCHILDREN on the parent this invalidates the static as well.
    InvalidateRect(hParent, &rc, TRUE);
    Invalidate(true);
}

LRESULT CNorvaStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) {
        LRESULT result = Default(message, wParam, lParam);
        RepaintBehind();
        return result;
    }
    return Default(message, wParam, lParam);
}

bool CNorvaStatic::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* pResult) {
    if (message != WM_CTLCOLORSTATIC) return false;
    HDC hdc = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(hdc, m_crText);
    SetBkMode(hdc, TRANSPARENT);
    *pResult = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    return true;
}

#include "NorvaGroupBox.h"

#include <vector>

void CNorvaGroupBox::SetGroundFrameColor(COLORREF color) {
    m_crFrame = color;
    RepaintBehind();
}

void CNorvaGroupBox::RepaintBehind() {
    if (!m_hWnd) return;
    HWND hParent = GetParent(m_hWnd);
    RECT rc;
    GetWindowRect(m_hWnd, &rc);
    MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    InvalidateRect(hParent, &rc, TRUE);
}

LRESULT CNorvaGroupBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(m_hWnd, &ps);
            Paint(hdc);
            EndPaint(m_hWnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            // Transparent: the parent's background shows through the frame.
            return 1;
        case WM_SETTEXT:
        case WM_ENABLE: {
            LRESULT result = Default(message, wParam, lParam);
            RepaintBehind();
            return result;
        }
        default:
            return Default(message, wParam, lParam);
    }
}

void CNorvaGroupBox::Paint(HDC hdc) {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    HGDIOBJ hOldFont =
        SelectObject(hdc, reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
    std::string text = GetWindowText();
    SIZE extent{0, 0};
    TEXTMETRICA metrics{};
    GetTextMetricsA(hdc, &metrics);
    if (!text.empty())
        GetTextExtentPoint32A(hdc, text.c_str(), static_cast<int>(text.size()), &extent);

    RECT rcFrame = rc;
    rcFrame.top += metrics.tmHeight / 2;
    RECT rcText{rc.left + 8, rc.top, rc.left + 8 + extent.cx + 4, rc.top + metrics.tmHeight};

    int saved = SaveDC(hdc);
    if (!text.empty()) ExcludeClipRect(hdc, rcText.left, rcText.top, rcText.right, rcText.bottom);
    HBRUSH hBrush = CreateSolidBrush(m_crFrame);
    FrameRect(hdc, &rcFrame, hBrush);
    DeleteObject(hBrush);
    RestoreDC(hdc, saved);

    if (!text.empty()) {
        int mode = SetBkMode(hdc, TRANSPARENT);
        COLORREF old =
            SetTextColor(hdc, GetSysColor(IsWindowEnabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        TextOutA(hdc, rcText.left + 2, rcText.top, text.c_str(), static_cast<int>(text.size()));
        SetTextColor(hdc, old);
        SetBkMode(hdc, mode);
    }
    SelectObject(hdc, hOldFont);
}

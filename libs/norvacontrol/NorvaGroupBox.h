// A group frame drawn in the skin's colour, open behind its caption.
#pragma once

#include <string>

#include "Wnd.h"

class CNorvaGroupBox : public CWnd {
public:
    CNorvaGroupBox() = default;

    void SetGroundFrameColor(COLORREF color);
    COLORREF GetGroundFrameColor() const { return m_crFrame; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC hdc);
    void RepaintBehind();

    COLORREF m_crFrame = RGB(128, 128, 128);
};

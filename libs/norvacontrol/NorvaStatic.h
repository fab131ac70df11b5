// A static text drawn in its own colour straight over the skin behind it.
#pragma once

#include <string>

#include "Wnd.h"

class CNorvaStatic : public CWnd {
public:
    CNorvaStatic() = default;

    virtual void SetTextColor(COLORREF color);
    virtual void SetText(const std::string& text);
    COLORREF GetTextColor() const { return m_crText; }

    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The text is transparent: what lies behind it must be painted again when it changes.
    void RepaintBehind();

    COLORREF m_crText = RGB(0, 0, 0);
};

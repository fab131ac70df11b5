// A push button drawn from skin bitmaps, with a caption and a tool tip.
#pragma once

#include <string>

#include "SkinImage.h"
#include "Wnd.h"

class CNorvaBitmapButton : public CWnd {
public:
    CNorvaBitmapButton() = default;
    ~CNorvaBitmapButton() override;

    // Bitmap IDs of the skin library, by state; 0 means none. Hover and pressed fall back to
    // nHoverAlt and nPressedAlt when 0, and every state without a bitmap shows nNormal.
    // nReserved is accepted and not used. False when a named bitmap cannot be loaded.
    BOOL SetButtonBmp(HINSTANCE hLibrary, UINT nNormal, UINT nHover, UINT nPressed, UINT nHoverAlt,
                      UINT nPressedAlt, UINT nDisabled, UINT nReserved);
    // The text shown while the mouse rests on the button; nFlags is reserved (0).
    void SetToolTips(const std::string& tip, int nFlags);
    const std::string& GetToolTip() const { return m_strTip; }
    // The caption drawn over the bitmap.
    void SetText(const std::string& text);
    void SetTextColor(COLORREF color);

    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Draw(const DRAWITEMSTRUCT& item);
    void UpdateToolTip();
    void DestroyToolTip();

    CSkinImage m_imgNormal, m_imgHover, m_imgPressed, m_imgDisabled;
    COLORREF m_crText = RGB(0, 0, 0);
    bool m_bHover = false;
    std::string m_strTip;
    HWND m_hToolTip = nullptr;
};

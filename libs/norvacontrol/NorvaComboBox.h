// A drop-down list whose field and arrow are drawn from skin bitmaps.
#pragma once

#include "SkinImage.h"
#include "Wnd.h"

class CNorvaComboBox : public CWnd {
public:
    CNorvaComboBox() = default;

    // Bitmap IDs of the skin library: the arrow at rest, under the mouse and while the list is
    // open, and the field behind the text (0: none). Until a bitmap is set the list looks native.
    BOOL SetComboxBmp(HINSTANCE hLibrary, UINT nArrow, UINT nArrowHover, UINT nArrowDropped,
                      UINT nField);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool IsSkinned() const { return !m_imgArrow.IsEmpty(); }
    void Paint(HDC hdc);

    CSkinImage m_imgArrow, m_imgArrowHover, m_imgArrowDropped, m_imgField;
    bool m_bHover = false;
};

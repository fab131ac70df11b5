// An edit control that takes only the characters of its mask.
#pragma once

#include <string>

#include "Wnd.h"

class CNorvaEdit : public CWnd {
public:
    CNorvaEdit() = default;

    // Characters typed or pasted that are not in the mask are dropped; an empty mask takes all.
    // Control characters (backspace, tab, ...) always pass.
    void SetMask(const std::string& mask) { m_strMask = mask; }
    const std::string& GetMask() const { return m_strMask; }
    bool Accepts(unsigned char ch) const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void PasteMasked();

    std::string m_strMask;
};

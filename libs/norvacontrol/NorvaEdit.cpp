#include "NorvaEdit.h"

bool CNorvaEdit::Accepts(unsigned char ch) const {
    if (ch < 0x20 || ch == 0x7F) return true;
    return m_strMask.empty() || m_strMask.find(static_cast<char>(ch)) != std::string::npos;
}

LRESULT CNorvaEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR && !Accepts(static_cast<unsigned char>(wParam))) return 0;
    if (message == WM_PASTE && !m_strMask.empty()) {
        PasteMasked();
        return 0;
    }
    return Default(message, wParam, lParam);
}

void CNorvaEdit::PasteMasked() {
    if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(m_hWnd)) return;
    std::string text;
    if (HANDLE hData = GetClipboardData(CF_TEXT)) {
        if (const char* pText = static_cast<const char*>(GlobalLock(hData))) {
            for (const char* p = pText; *p; ++p)
                if (static_cast<unsigned char>(*p) >= 0x20 &&
                    Accepts(static_cast<unsigned char>(*p)))
                    text += *p;
            GlobalUnlock(hData);
        }
    }
    CloseClipboard();
    ::SendMessageA(m_hWnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

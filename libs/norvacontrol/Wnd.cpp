#include "Wnd.h"

#include <vector>

namespace {

// The window property that links a window to its object.
const char kObjectProperty[] = "NorvaControl.CWnd";

}  // namespace

CWnd::~CWnd() {
    // An object must not outlive its attachment: give the window its procedure back.
    if (m_pfnSuper) {
        UnsubclassWindow();
    } else if (m_hWnd) {
        Detach();
    }
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (!hWnd) return nullptr;
    return static_cast<CWnd*>(GetPropA(hWnd, kObjectProperty));
}

void CWnd::Attach(HWND hWnd) {
    m_hWnd = hWnd;
    SetPropA(hWnd, kObjectProperty, this);
}

void CWnd::Detach() {
    if (m_hWnd) RemovePropA(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
}

bool CWnd::SubclassWindow(HWND hWnd) {
    if (m_hWnd || !hWnd || !IsWindow(hWnd) || FromHandle(hWnd)) return false;
    Attach(hWnd);
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    if (!m_pfnSuper) {
        Detach();
        return false;
    }
    return true;
}

bool CWnd::SubclassDlgItem(int nID, CWnd* pParent) {
    if (!pParent || !pParent->m_hWnd) return false;
    return SubclassWindow(::GetDlgItem(pParent->m_hWnd, nID));
}

HWND CWnd::UnsubclassWindow() {
    if (!m_hWnd || !m_pfnSuper) return nullptr;
    HWND hWnd = m_hWnd;
    SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    Detach();
    return hWnd;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = FromHandle(hWnd);
    if (!pWnd || !pWnd->m_pfnSuper) return DefWindowProcA(hWnd, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = pWnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's frames.
        result = pWnd->Default(message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) pWnd->UnsubclassWindow();
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT CWnd::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return DefWindowProcA(m_hWnd, message, wParam, lParam);
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) {
    return false;
}

void CWnd::MoveWindow(int x, int y, int width, int height, bool bRepaint) {
    if (m_hWnd) ::MoveWindow(m_hWnd, x, y, width, height, bRepaint ? TRUE : FALSE);
}

void CWnd::CenterWindow() {
    if (!m_hWnd) return;
    RECT rcWindow;
    GetWindowRect(m_hWnd, &rcWindow);
    // Over the owner when there is a visible one, otherwise over the work area of its monitor.
    RECT rcArea;
    HWND hOwner = GetWindow(m_hWnd, GW_OWNER);
    if (hOwner && ::IsWindowVisible(hOwner) && !IsIconic(hOwner)) {
        GetWindowRect(hOwner, &rcArea);
    } else {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        HMONITOR hMonitor = MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST);
        if (hMonitor && GetMonitorInfoA(hMonitor, &info)) {
            rcArea = info.rcWork;
        } else {
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0);
        }
    }
    int width = rcWindow.right - rcWindow.left;
    int height = rcWindow.bottom - rcWindow.top;
    int x = rcArea.left + ((rcArea.right - rcArea.left) - width) / 2;
    int y = rcArea.top + ((rcArea.bottom - rcArea.top) - height) / 2;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::SetWindowText(const std::string& text) {
    if (m_hWnd) ::SetWindowTextA(m_hWnd, text.c_str());
}

std::string CWnd::GetWindowText() const {
    if (!m_hWnd) return {};
    int length = GetWindowTextLengthA(m_hWnd);
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    int copied = ::GetWindowTextA(m_hWnd, buffer.data(), length + 1);
    return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

DWORD CWnd::GetStyle() const {
    return m_hWnd ? static_cast<DWORD>(GetWindowLongPtrA(m_hWnd, GWL_STYLE)) : 0;
}

bool CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    if (!m_hWnd) return false;
    DWORD style = GetStyle();
    DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle) return false;
    SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
    if (nFlags != 0) {
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    }
    return true;
}

void CWnd::EnableWindow(bool bEnable) {
    if (m_hWnd) ::EnableWindow(m_hWnd, bEnable ? TRUE : FALSE);
}

bool CWnd::IsWindowEnabled() const {
    return m_hWnd && ::IsWindowEnabled(m_hWnd);
}

bool CWnd::IsWindowVisible() const {
    return m_hWnd && ::IsWindowVisible(m_hWnd);
}

void CWnd::ShowWindow(int nCmdShow) {
    if (m_hWnd) ::ShowWindow(m_hWnd, nCmdShow);
}

void CWnd::Invalidate(bool bErase) {
    if (m_hWnd) InvalidateRect(m_hWnd, nullptr, bErase ? TRUE : FALSE);
}

HWND CWnd::GetDlgItem(int nID) const {
    return m_hWnd ? ::GetDlgItem(m_hWnd, nID) : nullptr;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd ? ::SendMessageA(m_hWnd, message, wParam, lParam) : 0;
}

bool CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd && ::PostMessageA(m_hWnd, message, wParam, lParam);
}

bool CWnd::DestroyWindow() {
    return m_hWnd && ::DestroyWindow(m_hWnd);
}

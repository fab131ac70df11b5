// A window attached to a C++ object: the thin layer our dialogs and skinned controls stand on.
#pragma once

#include <windows.h>

#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The object attached to a window by SubclassWindow (or a dialog to its own window), or null.
    static CWnd* FromHandle(HWND hWnd);

    // Routes the window's messages through WindowProc until UnsubclassWindow or its destruction.
    bool SubclassWindow(HWND hWnd);
    bool SubclassDlgItem(int nID, CWnd* pParent);
    // Gives the window its own procedure back; returns the window, or null when none was attached.
    HWND UnsubclassWindow();

    // The usual window operations on the attached window; they do nothing without one.
    void MoveWindow(int x, int y, int width, int height, bool bRepaint = true);
    void CenterWindow();
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    DWORD GetStyle() const;
    // Changes the style bits; nFlags are SetWindowPos flags, 0 for none. True when changed.
    bool ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    void EnableWindow(bool bEnable);
    bool IsWindowEnabled() const;
    bool IsWindowVisible() const;
    void ShowWindow(int nCmdShow);
    void Invalidate(bool bErase = true);
    HWND GetDlgItem(int nID) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    bool DestroyWindow();

    // A message the parent hands back to the control it concerns (WM_DRAWITEM, WM_CTLCOLOR*).
    // True when handled, with the message's result in *pResult.
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    // Called once the window is attached, before any of its messages reach WindowProc.
    virtual void PreSubclassWindow() {}
    // Every message of a subclassed window; the default hands it to the window's own procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    // Records the attachment of a window that is not subclassed (a dialog with its own procedure).
    void Attach(HWND hWnd);
    void Detach();

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;
};

// Driving a modal dialog from a second thread. The dialog's thread blocks in its modal loop; hooks
// on that thread tell the driver which dialogs opened, when they were shown and when its posted
// messages were handled, and the driver works the dialog by window messages, as a user's input.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

std::string WindowText(HWND hWnd);
// The directory of the test program, with its trailing backslash.
std::string ProgramDirectory();

// Watches the windows of the thread that makes it. One at a time; every wait gives up after 10 s.
class UiWatch {
public:
    UiWatch();
    ~UiWatch();
    // The next dialog (message boxes too) past its WM_INITDIALOG, in opening order; null when none.
    HWND WaitDialog();
    // Waits until every message posted to the window before this call has been handled.
    bool Flush(HWND hWnd);
    bool WaitShown(HWND hWnd);
    // WM_SHOWWINDOW of the window so far: +1 shown, -1 hidden.
    std::vector<int> ShowHistory(HWND hWnd);
    // Ends the waits of WaitDialog at once, for good.
    void StopWaiting();
};

// The driver's view of one dialog; every call is made from the driver thread.
class DialogControl {
public:
    DialogControl(HWND hDlg, UiWatch& watch) : m_hDlg(hDlg), m_watch(watch) {}
    HWND Handle() const { return m_hDlg; }
    HWND Item(int id) const { return GetDlgItem(m_hDlg, id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageA(Item(id), message, wParam, lParam);
    }
    // The control's rectangle (id 0: the dialog's own) in the dialog's coordinates.
    RECT ItemRect(int id) const {
        RECT rc{};
        GetWindowRect(id ? Item(id) : m_hDlg, &rc);
        MapWindowPoints(nullptr, m_hDlg, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    // Selects the list entry as the user does: the dialog is told of the change.
    void Select(int id, int index) {
        Send(id, CB_SETCURSEL, index);
        SendMessageA(m_hDlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(Item(id)));
    }
    void Type(int id, const std::string& chars) {
        for (char ch : chars) Send(id, WM_CHAR, static_cast<unsigned char>(ch), 1);
    }
    // Presses the button; returns at once (what it opens may block the dialog's thread).
    void Click(int id) { PostMessageA(Item(id), BM_CLICK, 0, 0); }
    // What the watch of the dialog's thread tells of the dialog.
    bool Flush() { return m_watch.Flush(m_hDlg); }
    bool WaitShown() { return m_watch.WaitShown(m_hDlg); }
    std::vector<int> ShowHistory() { return m_watch.ShowHistory(m_hDlg); }
    HWND NextDialog() { return m_watch.WaitDialog(); }

private:
    HWND m_hDlg;
    UiWatch& m_watch;
};

// Runs fnOpen on this thread (it opens a modal dialog and returns when it ends) while fnDrive works
// the first dialog that opens on a second thread; a dialog the driver left open is closed.
struct DialogRun {
    long long result = 0;
    bool bOpened = false;
};
using Drive = std::function<void(DialogControl&)>;
DialogRun RunModal(const std::function<long long()>& fnOpen, const Drive& fnDrive);

// The window as it is on screen, also written to bmpPath: top-down rows of 0x00RRGGBB pixels.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
};
Screenshot CaptureWindow(HWND hWnd, const std::string& bmpPath);

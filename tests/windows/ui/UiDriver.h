// Driving a modal dialog from a second thread. The dialog's thread blocks in its modal loop; hooks
// on that thread tell the driver which dialogs opened and when its posted messages were handled,
// and the driver works the dialog by window messages, as a user's input arrives.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Watches the windows of the thread that makes it. One at a time.
class UiWatch {
public:
    UiWatch();
    ~UiWatch();
    UiWatch(const UiWatch&) = delete;
    UiWatch& operator=(const UiWatch&) = delete;

    // The next dialog window (of any kind, message boxes too) whose WM_INITDIALOG has been
    // handled, in the order they opened; null when none opens in time.
    HWND WaitDialog(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits until every message posted to the window before this call has been handled.
    bool Flush(HWND hWnd, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits until the window has been shown n times in all.
    bool WaitShown(HWND hWnd, int n = 1,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // WM_SHOWWINDOW of the window so far: +1 shown, -1 hidden.
    std::vector<int> ShowHistory(HWND hWnd);
    // Ends the waits of WaitDialog at once, for good.
    void StopWaiting();
};

// The driver's view of one dialog; every call is made from the driver thread.
class DialogControl {
public:
    explicit DialogControl(HWND hDlg, UiWatch* pWatch = nullptr) : m_pWatch(pWatch), m_hDlg(hDlg) {}
    HWND Handle() const { return m_hDlg; }
    HWND Item(int id) const { return GetDlgItem(m_hDlg, id); }

    std::string Text(int id) const;
    std::string Caption() const;
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    // The control's rectangle in the dialog's coordinates.
    RECT ItemRect(int id) const;
    SIZE WindowSize() const;

    // The drop-down list.
    int Count(int id) const;
    int Selection(int id) const;
    std::string ItemText(int id, int index) const;
    LRESULT ItemData(int id, int index) const;
    // Selects the entry as the user does: the list tells the dialog of the change.
    void Select(int id, int index);

    // Types the characters one by one into the control.
    void Type(int id, const std::string& chars);
    // Presses the button; returns at once (what it opens may block the dialog's thread).
    void Click(int id);
    bool Flush() { return m_pWatch && m_pWatch->Flush(m_hDlg); }

private:
    UiWatch* m_pWatch;
    HWND m_hDlg;
};

// Runs fnOpen on this thread (it opens a modal dialog and returns when it ends) while fnDrive works
// the first dialog that opens on a second thread. When the driver is done and the dialog still
// open, it is closed (as by Escape). Returns what fnOpen returned; bOpened tells whether a dialog
// opened at all.
struct DialogRun {
    long long result = 0;
    bool bOpened = false;
};
DialogRun RunModal(const std::function<long long()>& fnOpen,
                   const std::function<void(UiWatch&, DialogControl&)>& fnDrive);

// The texts of a dialog and its child windows (a message box: caption, message, buttons).
std::vector<std::string> WindowTexts(HWND hWnd);

// A 24-bit picture of the window as it is on screen.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> bgr;  // top-down rows, 3 bytes a pixel, no padding
    COLORREF Pixel(int x, int y) const;
    bool WriteBmp(const std::string& path) const;
};
Screenshot CaptureWindow(HWND hWnd);

// The directory of the test program, with its trailing backslash.
std::string ProgramDirectory();

// Sets the current user's browser proxy for its lifetime and puts the old value back.
class BrowserProxyGuard {
public:
    explicit BrowserProxyGuard(const char* pValue);  // null: no value
    ~BrowserProxyGuard();

private:
    bool m_bHadValue = false;
    std::string m_strOld;
};

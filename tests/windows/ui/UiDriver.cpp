#include "UiDriver.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

namespace {

// Posted by Flush; seen by the message hook when the dialog's loop takes it.
const UINT kFlushMessage = WM_APP + 0x3A7;

struct WatchState {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<HWND> dialogs;
    size_t nNextDialog = 0;
    bool bStopped = false;
    std::map<HWND, std::vector<int>> shows;
    WPARAM nPosted = 0, nHandled = 0;  // Flush tokens, in order
    HHOOK hCallRet = nullptr;
    HHOOK hGetMessage = nullptr;
};
WatchState* g_pWatch = nullptr;

template <class Fn>
void Record(Fn fn) {
    std::lock_guard<std::mutex> lock(g_pWatch->mutex);
    fn(*g_pWatch);
    g_pWatch->changed.notify_all();
}

template <class Pred>
bool WaitFor(Pred pred) {
    std::unique_lock<std::mutex> lock(g_pWatch->mutex);
    return g_pWatch->changed.wait_for(lock, std::chrono::seconds(10), pred);
}

LRESULT CALLBACK CallRetHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* pMsg = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    char name[16] = {};
    if (code == HC_ACTION && pMsg->message == WM_INITDIALOG &&
        GetClassNameA(pMsg->hwnd, name, sizeof(name)) && strcmp(name, "#32770") == 0)
        Record([&](WatchState& s) { s.dialogs.push_back(pMsg->hwnd); });
    if (code == HC_ACTION && pMsg->message == WM_SHOWWINDOW)
        Record([&](WatchState& s) { s.shows[pMsg->hwnd].push_back(pMsg->wParam ? 1 : -1); });
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* pMsg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && pMsg->message == kFlushMessage)
        Record([&](WatchState& s) { s.nHandled = pMsg->wParam; });
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

UiWatch::UiWatch() {
    g_pWatch = new WatchState;
    const DWORD thread = GetCurrentThreadId();
    g_pWatch->hCallRet = SetWindowsHookExA(WH_CALLWNDPROCRET, &CallRetHook, nullptr, thread);
    g_pWatch->hGetMessage = SetWindowsHookExA(WH_GETMESSAGE, &GetMessageHook, nullptr, thread);
}

UiWatch::~UiWatch() {
    UnhookWindowsHookEx(g_pWatch->hCallRet);
    UnhookWindowsHookEx(g_pWatch->hGetMessage);
    delete g_pWatch;
    g_pWatch = nullptr;
}

HWND UiWatch::WaitDialog() {
    WatchState& s = *g_pWatch;
    WaitFor([&] { return s.bStopped || s.dialogs.size() > s.nNextDialog; });
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.dialogs.size() > s.nNextDialog ? s.dialogs[s.nNextDialog++] : nullptr;
}

bool UiWatch::Flush(HWND hWnd) {
    WPARAM token = 0;
    Record([&](WatchState& s) { token = ++s.nPosted; });
    return PostMessageA(hWnd, kFlushMessage, token, 0) &&
           WaitFor([&] { return g_pWatch->nHandled >= token; });
}

bool UiWatch::WaitShown(HWND hWnd) {
    return WaitFor([&] {
        const auto& history = g_pWatch->shows[hWnd];
        return std::count(history.begin(), history.end(), 1) > 0;
    });
}

std::vector<int> UiWatch::ShowHistory(HWND hWnd) {
    std::lock_guard<std::mutex> lock(g_pWatch->mutex);
    return g_pWatch->shows[hWnd];
}

void UiWatch::StopWaiting() {
    Record([](WatchState& s) { s.bStopped = true; });
}

DialogRun RunModal(const std::function<long long()>& fnOpen, const Drive& fnDrive) {
    UiWatch watch;
    DialogRun run;
    std::thread driver([&] {
        HWND hDlg = watch.WaitDialog();
        if (!hDlg) return;
        run.bOpened = true;
        DialogControl dialog(hDlg, watch);
        fnDrive(dialog);
        if (IsWindow(hDlg)) PostMessageA(hDlg, WM_CLOSE, 0, 0);
    });
    run.result = fnOpen();
    // Whatever opened has closed: a driver still waiting for a dialog waits in vain.
    watch.StopWaiting();
    driver.join();
    return run;
}

std::string WindowText(HWND hWnd) {
    char buffer[1024] = {};
    SendMessageA(hWnd, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    return directory.substr(0, directory.rfind('\\') + 1);
}

Screenshot CaptureWindow(HWND hWnd, const std::string& bmpPath) {
    Screenshot shot;
    RECT rc{};
    if (!GetWindowRect(hWnd, &rc)) return shot;
    shot.width = rc.right - rc.left;
    shot.height = rc.bottom - rc.top;
    // The window's own surface, not the screen: the screen gets a painted window only when the
    // window's thread next goes idle, so a copy of it may still show nothing.
    HDC hWindow = GetWindowDC(hWnd);
    HDC hMemory = CreateCompatibleDC(hWindow);
    HBITMAP hBitmap = CreateCompatibleBitmap(hWindow, shot.width, shot.height);
    HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
    BitBlt(hMemory, 0, 0, shot.width, shot.height, hWindow, 0, 0, SRCCOPY);
    SelectObject(hMemory, hOld);
    BITMAPINFO info{};
    info.bmiHeader = {
        sizeof(BITMAPINFOHEADER), shot.width, -shot.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height);
    GetDIBits(hMemory, hBitmap, 0, shot.height, shot.pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(hBitmap);
    DeleteDC(hMemory);
    ReleaseDC(hWnd, hWindow);

    const DWORD bytes = static_cast<DWORD>(shot.pixels.size() * 4);
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file{0x4D42, offset + bytes, 0, 0, offset};
    std::ofstream out(bmpPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(info.bmiHeader));
    out.write(reinterpret_cast<const char*>(shot.pixels.data()), bytes);
    return shot;
}

#include "UiDriver.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

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
    std::set<WPARAM> flushed;
    HHOOK hCallRet = nullptr;
    HHOOK hGetMessage = nullptr;
};

WatchState* g_pWatch = nullptr;
std::atomic<WPARAM> g_nFlushToken{1};

bool IsDialogWindow(HWND hWnd) {
    char name[16] = {};
    GetClassNameA(hWnd, name, sizeof(name));
    return strcmp(name, "#32770") == 0;
}

LRESULT CALLBACK CallRetHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_pWatch) {
        const auto* pMsg = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (pMsg->message == WM_INITDIALOG && IsDialogWindow(pMsg->hwnd)) {
            std::lock_guard<std::mutex> lock(g_pWatch->mutex);
            g_pWatch->dialogs.push_back(pMsg->hwnd);
            g_pWatch->changed.notify_all();
        } else if (pMsg->message == WM_SHOWWINDOW) {
            std::lock_guard<std::mutex> lock(g_pWatch->mutex);
            g_pWatch->shows[pMsg->hwnd].push_back(pMsg->wParam ? 1 : -1);
            g_pWatch->changed.notify_all();
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && g_pWatch) {
        const auto* pMsg = reinterpret_cast<const MSG*>(lParam);
        if (pMsg->message == kFlushMessage) {
            std::lock_guard<std::mutex> lock(g_pWatch->mutex);
            g_pWatch->flushed.insert(pMsg->wParam);
            g_pWatch->changed.notify_all();
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

UiWatch::UiWatch() {
    g_pWatch = new WatchState;
    g_pWatch->hCallRet =
        SetWindowsHookExA(WH_CALLWNDPROCRET, &CallRetHook, nullptr, GetCurrentThreadId());
    g_pWatch->hGetMessage =
        SetWindowsHookExA(WH_GETMESSAGE, &GetMessageHook, nullptr, GetCurrentThreadId());
}

UiWatch::~UiWatch() {
    UnhookWindowsHookEx(g_pWatch->hCallRet);
    UnhookWindowsHookEx(g_pWatch->hGetMessage);
    delete g_pWatch;
    g_pWatch = nullptr;
}

HWND UiWatch::WaitDialog(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(g_pWatch->mutex);
    if (!g_pWatch->changed.wait_for(lock, timeout, [] {
            return g_pWatch->bStopped || g_pWatch->dialogs.size() > g_pWatch->nNextDialog;
        }))
        return nullptr;
    if (g_pWatch->dialogs.size() <= g_pWatch->nNextDialog) return nullptr;
    return g_pWatch->dialogs[g_pWatch->nNextDialog++];
}

bool UiWatch::Flush(HWND hWnd, std::chrono::milliseconds timeout) {
    const WPARAM token = g_nFlushToken++;
    if (!PostMessageA(hWnd, kFlushMessage, token, 0)) return false;
    std::unique_lock<std::mutex> lock(g_pWatch->mutex);
    return g_pWatch->changed.wait_for(lock, timeout,
                                      [token] { return g_pWatch->flushed.count(token) > 0; });
}

bool UiWatch::WaitShown(HWND hWnd, int n, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(g_pWatch->mutex);
    return g_pWatch->changed.wait_for(lock, timeout, [hWnd, n] {
        const auto& history = g_pWatch->shows[hWnd];
        return std::count(history.begin(), history.end(), 1) >= n;
    });
}

void UiWatch::StopWaiting() {
    std::lock_guard<std::mutex> lock(g_pWatch->mutex);
    g_pWatch->bStopped = true;
    g_pWatch->changed.notify_all();
}

std::vector<int> UiWatch::ShowHistory(HWND hWnd) {
    std::lock_guard<std::mutex> lock(g_pWatch->mutex);
    return g_pWatch->shows[hWnd];
}

std::string DialogControl::Text(int id) const {
    char buffer[1024] = {};
    SendMessageA(Item(id), WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::string DialogControl::Caption() const {
    char buffer[1024] = {};
    SendMessageA(m_hDlg, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

RECT DialogControl::ItemRect(int id) const {
    RECT rc{};
    GetWindowRect(Item(id), &rc);
    MapWindowPoints(nullptr, m_hDlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

SIZE DialogControl::WindowSize() const {
    RECT rc{};
    GetWindowRect(m_hDlg, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

int DialogControl::Count(int id) const {
    return static_cast<int>(SendMessageA(Item(id), CB_GETCOUNT, 0, 0));
}

int DialogControl::Selection(int id) const {
    return static_cast<int>(SendMessageA(Item(id), CB_GETCURSEL, 0, 0));
}

std::string DialogControl::ItemText(int id, int index) const {
    char buffer[1024] = {};
    if (SendMessageA(Item(id), CB_GETLBTEXTLEN, index, 0) >= static_cast<LRESULT>(sizeof(buffer)))
        return {};
    SendMessageA(Item(id), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

LRESULT DialogControl::ItemData(int id, int index) const {
    return SendMessageA(Item(id), CB_GETITEMDATA, index, 0);
}

void DialogControl::Select(int id, int index) {
    SendMessageA(Item(id), CB_SETCURSEL, index, 0);
    SendMessageA(m_hDlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(id)));
}

void DialogControl::Type(int id, const std::string& chars) {
    for (char ch : chars) SendMessageA(Item(id), WM_CHAR, static_cast<unsigned char>(ch), 1);
}

void DialogControl::Click(int id) {
    PostMessageA(Item(id), BM_CLICK, 0, 0);
}

DialogRun RunModal(const std::function<long long()>& fnOpen,
                   const std::function<void(UiWatch&, DialogControl&)>& fnDrive) {
    UiWatch watch;
    DialogRun run;
    std::thread driver([&] {
        HWND hDlg = watch.WaitDialog();
        if (!hDlg) return;
        run.bOpened = true;
        DialogControl dialog(hDlg, &watch);
        fnDrive(watch, dialog);
        // A driver that left the dialog open must not leave the test hanging.
        if (IsWindow(hDlg)) PostMessageA(hDlg, WM_CLOSE, 0, 0);
    });
    run.result = fnOpen();
    // Whatever opened has closed: a driver still waiting for a dialog waits in vain.
    watch.StopWaiting();
    driver.join();
    return run;
}

std::vector<std::string> WindowTexts(HWND hWnd) {
    std::vector<std::string> texts;
    auto add = [&texts](HWND h) {
        char buffer[1024] = {};
        SendMessageA(h, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
        texts.push_back(buffer);
    };
    add(hWnd);
    for (HWND hChild = GetWindow(hWnd, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT))
        add(hChild);
    return texts;
}

COLORREF Screenshot::Pixel(int x, int y) const {
    const unsigned char* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
    return RGB(p[2], p[1], p[0]);
}

bool Screenshot::WriteBmp(const std::string& path) const {
    if (width <= 0 || height <= 0) return false;
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t imageSize = stride * static_cast<uint32_t>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = imageSize;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    fwrite(&file, sizeof(file), 1, f);
    fwrite(&info, sizeof(info), 1, f);
    std::vector<unsigned char> row(stride, 0);
    for (int y = height - 1; y >= 0; --y) {
        memcpy(row.data(), &bgr[static_cast<size_t>(y) * width * 3],
               static_cast<size_t>(width) * 3);
        fwrite(row.data(), 1, stride, f);
    }
    return fclose(f) == 0;
}

Screenshot CaptureWindow(HWND hWnd) {
    Screenshot shot;
    RECT rc{};
    if (!GetWindowRect(hWnd, &rc)) return shot;
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    HDC hScreen = GetDC(nullptr);
    HDC hMemory = CreateCompatibleDC(hScreen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* pBits = nullptr;
    HBITMAP hBitmap = CreateDIBSection(hScreen, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
    BitBlt(hMemory, 0, 0, width, height, hScreen, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    shot.width = width;
    shot.height = height;
    shot.bgr.resize(static_cast<size_t>(width) * height * 3);
    const auto* pPixels = static_cast<const unsigned char*>(pBits);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        shot.bgr[i * 3] = pPixels[i * 4];
        shot.bgr[i * 3 + 1] = pPixels[i * 4 + 1];
        shot.bgr[i * 3 + 2] = pPixels[i * 4 + 2];
    }
    SelectObject(hMemory, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hMemory);
    ReleaseDC(nullptr, hScreen);
    return shot;
}

std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    return directory.substr(0, directory.rfind('\\') + 1);
}

namespace {
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
}

BrowserProxyGuard::BrowserProxyGuard(const char* pValue) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return;
    char buffer[1024] = {};
    DWORD size = sizeof(buffer) - 1;
    m_bHadValue = RegQueryValueExA(hKey, "ProxyServer", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
    if (m_bHadValue) m_strOld = buffer;
    if (pValue) {
        RegSetValueExA(hKey, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(pValue),
                       static_cast<DWORD>(strlen(pValue) + 1));
    } else {
        RegDeleteValueA(hKey, "ProxyServer");
    }
    RegCloseKey(hKey);
}

BrowserProxyGuard::~BrowserProxyGuard() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_ALL_ACCESS, &hKey) !=
        ERROR_SUCCESS)
        return;
    if (m_bHadValue) {
        RegSetValueExA(hKey, "ProxyServer", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(m_strOld.c_str()),
                       static_cast<DWORD>(m_strOld.size() + 1));
    } else {
        RegDeleteValueA(hKey, "ProxyServer");
    }
    RegCloseKey(hKey);
}

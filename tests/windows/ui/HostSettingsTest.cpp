// loginhost settings as a person runs it: the reference host opens the dialog on a profile, the
// user types a proxy and presses OK, and the profile's user.ini holds it, the password enciphered.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "UiDriver.h"

namespace {

// A fresh directory under the temporary folder, removed with its files.
class TempDirectory {
public:
    TempDirectory() {
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        m_strPath =
            std::string(base) + "loginhost-settings-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(m_strPath.c_str(), nullptr);
        m_strPath += "\\";
    }
    ~TempDirectory() {
        WIN32_FIND_DATAA data;
        HANDLE hFind = FindFirstFileA((m_strPath + "*").c_str(), &data);
        if (hFind != INVALID_HANDLE_VALUE) {
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA((m_strPath + data.cFileName).c_str());
            } while (FindNextFileA(hFind, &data));
            FindClose(hFind);
        }
        RemoveDirectoryA(m_strPath.c_str());
    }
    const std::string& Path() const { return m_strPath; }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(m_strPath + name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(m_strPath + name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string m_strPath;
};

// The dialog of a process, once it has been made.
HWND g_hShown = nullptr;
DWORD g_nWatchedProcess = 0;

void CALLBACK OnCreate(HWINEVENTHOOK, DWORD, HWND hWnd, LONG idObject, LONG, DWORD, DWORD) {
    char name[16] = {};
    GetClassNameA(hWnd, name, sizeof(name));
    DWORD process = 0;
    GetWindowThreadProcessId(hWnd, &process);
    if (idObject == OBJID_WINDOW && process == g_nWatchedProcess && strcmp(name, "#32770") == 0)
        g_hShown = hWnd;
}

std::wstring WideText(HWND hWnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hWnd, text, 256);
    return text;
}

TEST(HostSettingsTest, ProxySavedInTheDialogLandsInTheProfile) {
    TempDirectory profile;
    profile.Write("system.ini",
                  "[SKIN]\nACTIVE=skin\\DefaultSkin.dll\n[CURRENT_USER_PRIVATE_DIR]\nPATH=" +
                      profile.Path() + "\n");
    profile.Write("user.ini", "[PROXY]\nTYPE=0\n");
    profile.Write(
        "strings.ini",
        "11000=\xE4\xB8\x8D\xE4\xBD\xBF\xE7\x94\xA8\xE4\xBB\xA3\xE7\x90\x86\n"  // 不使用代理
        "11001=\xE4\xBD\xBF\xE7\x94\xA8\xE8\x87\xAA\xE5\xAE\x9A\xE4\xB9\x89\xE4\xBB\xA3"
        "\xE7\x90\x86\n"  // 使用自定义代理
        "11002=browser\n"
        "11003=\xE7\x99\xBB\xE5\xBD\x95\xE8\xAE\xBE\xE7\xBD\xAE\n");  // 登录设置
    const std::string output = profile.Path() + "out.txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE hOut = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = hOut;
    startup.hStdError = hOut;
    std::string command = "\"" + ProgramDirectory() + "loginhost.exe\" settings --profile \"" +
                          profile.Path().substr(0, profile.Path().size() - 1) + "\"";
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &process));
    CloseHandle(hOut);
    g_nWatchedProcess = process.dwProcessId;
    g_hShown = nullptr;
    HWINEVENTHOOK hHook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr,
                                          &OnCreate, process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    ResumeThread(process.hThread);
    // The events arrive through this thread's messages; the wait ends early on either.
    const DWORD start = GetTickCount();
    while (!g_hShown && GetTickCount() - start < 30000 &&
           WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 1000, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    UnhookWinEvent(hHook);
    // Messages sent to the dialog wait for its thread to take them, which it does once the dialog
    // is initialised (its caption set) and in its modal loop.
    DWORD_PTR ignored = 0;
    while (g_hShown && WideText(g_hShown).empty()) {
        if (!SendMessageTimeoutA(g_hShown, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored))
            g_hShown = nullptr;
    }

    std::wstring caption;
    if (g_hShown) {
        DialogControl dialog(g_hShown);
        caption = WideText(g_hShown);
        dialog.Select(4000, 1);
        dialog.Type(4001, "10.9.8.7");
        dialog.Type(4002, "3128");
        dialog.Type(4003, "erin");
        dialog.Type(4004, "pw9");
        dialog.Click(IDOK);
    }
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 3);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    const std::string printed = profile.Read("out.txt");
    ASSERT_TRUE(g_hShown) << "no dialog opened; loginhost printed:\n" << printed;
    EXPECT_TRUE(ended);
    EXPECT_EQ(exitCode, 0u) << printed;
    EXPECT_EQ(caption, L"\u767B\u5F55\u8BBE\u7F6E");
    EXPECT_NE(printed.find("dialog    1 (OK)"), std::string::npos) << printed;
    const std::string user = profile.Read("user.ini");
    EXPECT_NE(user.find("TYPE=1"), std::string::npos) << user;
    EXPECT_NE(user.find("ADDRESS=10.9.8.7"), std::string::npos) << user;
    EXPECT_NE(user.find("PORT=3128"), std::string::npos) << user;
    EXPECT_NE(user.find("USER=erin"), std::string::npos) << user;
    EXPECT_NE(user.find("PASSWORD="), std::string::npos) << user;
    EXPECT_EQ(user.find("PASSWORD=pw9"), std::string::npos) << "stored in plain: " << user;
}

}  // namespace

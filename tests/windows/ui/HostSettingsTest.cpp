// loginhost settings as a person runs it: the reference host opens the dialog on a profile, the
// user types a proxy and presses OK, and the profile's user.ini holds it, the password enciphered.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "UiDriver.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The first dialog the watched process makes.
HWND g_hShown = nullptr;
DWORD g_nWatchedProcess = 0;

void CALLBACK OnCreate(HWINEVENTHOOK, DWORD, HWND hWnd, LONG idObject, LONG, DWORD, DWORD) {
    char name[16] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(hWnd, &process);
    if (!g_hShown && idObject == OBJID_WINDOW && process == g_nWatchedProcess &&
        GetClassNameA(hWnd, name, sizeof(name)) && strcmp(name, "#32770") == 0)
        g_hShown = hWnd;
}

TEST(HostSettingsTest, ProxySavedInTheDialogLandsInTheProfile) {
    const fs::path profile =
        fs::temp_directory_path() / ("loginhost-settings-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(profile);
    WriteFile(profile / "system.ini",
              "[SKIN]\nACTIVE=skin\\DefaultSkin.dll\n"
              "[CURRENT_USER_PRIVATE_DIR]\nPATH=" +
                  profile.string() + "\\\n");
    WriteFile(profile / "user.ini", "[PROXY]\nTYPE=0\n");
    WriteFile(profile / "strings.ini",  // UTF-8: the type list and 登录设置 as the title
              "11000=none\n11001=user\n11002=browser\n"
              "11003=\xE7\x99\xBB\xE5\xBD\x95\xE8\xAE\xBE\xE7\xBD\xAE\n");
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE hOut = CreateFileA((profile / "out.txt").string().c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = hOut;
    std::string command = "\"" + ProgramDirectory() + "loginhost.exe\" settings --profile \"" +
                          profile.string() + "\"";
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &process));
    CloseHandle(hOut);
    g_nWatchedProcess = process.dwProcessId;
    HWINEVENTHOOK hHook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr,
                                          &OnCreate, process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    ResumeThread(process.hThread);
    // The events arrive through this thread's messages; the wait ends early on either.
    const DWORD start = GetTickCount();
    while (!g_hShown && GetTickCount() - start < 30000 &&
           MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 1000, QS_ALLINPUT) !=
               WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    UnhookWinEvent(hHook);
    // Messages sent to the dialog wait for its thread to take them, which it does once the dialog
    // is initialised (its caption set) and in its modal loop.
    DWORD_PTR ignored = 0;
    while (g_hShown && GetWindowTextLengthW(g_hShown) == 0)
        if (!SendMessageTimeoutA(g_hShown, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored))
            g_hShown = nullptr;

    wchar_t caption[64] = {};
    if (g_hShown) {
        GetWindowTextW(g_hShown, caption, 64);
        DialogControl dialog(g_hShown);
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
    const std::string printed = ReadFile(profile / "out.txt");
    const std::string user = ReadFile(profile / "user.ini");
    std::error_code ignoredError;
    fs::remove_all(profile, ignoredError);

    ASSERT_TRUE(g_hShown) << "no dialog opened; loginhost printed:\n" << printed;
    EXPECT_TRUE(ended);
    EXPECT_EQ(exitCode, 0u) << printed;
    EXPECT_STREQ(caption, L"\u767B\u5F55\u8BBE\u7F6E");
    EXPECT_NE(printed.find("dialog    1 (OK)"), std::string::npos) << printed;
    for (const char* line : {"TYPE=1", "ADDRESS=10.9.8.7", "PORT=3128", "USER=erin", "PASSWORD="})
        EXPECT_NE(user.find(line), std::string::npos) << line << " missing from\n" << user;
    EXPECT_EQ(user.find("PASSWORD=pw9"), std::string::npos) << "stored in plain: " << user;
}

}  // namespace

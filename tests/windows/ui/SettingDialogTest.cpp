// The proxy settings dialog, opened through the settings UI and driven by window messages. The
// drivers assert on their own thread what the dialog shows.
#include <gtest/gtest.h>

#include <cstdlib>

#include "IBasePlugin.h"
#include "LoginPluginImpl.h"
#include "RegistrySandbox.h"
#include "SettingUIImpl.h"
#include "UiDriver.h"
#include "UiHost.h"
#include "libs/trace/TraceCapture.h"
#include "platform/module.h"

namespace {

enum Control { kType = 4000, kAddress, kPort, kUser, kPassword, kLabelType, kClose = 4011, kTitle };

// Address, port, user and password as "text|text|text|text", a disabled edit's text marked "-".
std::string EditsOf(const DialogControl& dialog) {
    std::string states;
    for (int id : {kAddress, kPort, kUser, kPassword})
        states += (id == kAddress ? "" : "|") + std::string(dialog.Enabled(id) ? "" : "-") +
                  dialog.Text(id);
    return states;
}

std::vector<LONG> Box(const RECT& rc) {
    return {rc.left, rc.top, rc.right, rc.bottom};
}

void StoreProxy(UiHost& host, const char* type, const char* address, const char* port,
                const char* user, const char* password) {
    const std::string values[] = {type, address, port, user, host.crypt.Encrypt(password)};
    const char* keys[] = {"TYPE", "ADDRESS", "PORT", "USER", "PASSWORD"};
    for (int i = 0; i < 5; ++i) host.setting.User("PROXY", keys[i], values[i]);
}

class SettingDialogTest : public ::testing::Test {
protected:
    // The test program holds the dialog template in place of the plug-in library.
    void SetUp() override { SetLibraryModuleHandle(GetModuleHandleA(nullptr)); }
    DialogRun Open(const Drive& fnDrive, ISettingUI* pUi = nullptr) {
        pUi = pUi ? pUi : &ui;
        return RunModal([pUi] { return static_cast<long long>(pUi->ShowSettingDialog()); },
                        fnDrive);
    }
    UiHost host;
    CSettingUIImpl ui{&host.container};
};

TEST_F(SettingDialogTest, EachStoredTypeShowsFillsAndSavesItsOwnFields) {
    RegistrySandbox registry;  // the current user's browser proxy
    registry.SetString("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                       "ProxyServer", "10.1.2.3:8080");
    struct Case {
        const char* type;
        int selection;
        const char* atOpening;
        const char* asUser;  // after switching to the user's own proxy
        const char* writes;  // after switching back and OK
    };
    const Case cases[] = {
        {"0", 0, "-|-|-|-", "||u|pw", "PROXY/TYPE=0"},
        {"1", 1, "typed.host|81|u|pw", "typed.host|81|u|pw",
         "PROXY/TYPE=1 PROXY/ADDRESS=typed.host PROXY/PORT=81 PROXY/USER=u PROXY/PASSWORD=ENC:*-"},
        // The browser's proxy is read in place of the stored address and port.
        {"2", 2, "-10.1.2.3|-8080|u|pw", "10.1.2.3|8080|u|pw",
         "PROXY/TYPE=2 PROXY/USER=u PROXY/PASSWORD=ENC:*-"},
    };
    for (const Case& c : cases) {
        StoreProxy(host, c.type, "typed.host", "81", "u", "pw");
        DialogRun run = Open([&](DialogControl& dialog) {
            SCOPED_TRACE(c.type);
            EXPECT_EQ(dialog.Send(kType, CB_GETCURSEL), c.selection);
            EXPECT_EQ(EditsOf(dialog), c.atOpening);
            dialog.Type(kUser, "xyz");  // dropped by the switch
            dialog.Select(kType, 1);
            EXPECT_EQ(EditsOf(dialog), c.asUser);
            dialog.Select(kType, c.selection);
            dialog.Click(IDOK);
        });
        EXPECT_EQ(run.result, IDOK) << c.type;
        EXPECT_EQ(host.setting.TakeUserWrites(), c.writes);
    }
}

TEST_F(SettingDialogTest, SkinChangeWhileOpenReloadsTheSkinInPlace) {
    host.setting.Sys("SKIN", "ACTIVE", "skin\\TestSkin24.dll");
    StoreProxy(host, "1", "h", "1", "u", "p");
    bool reloaded = false;
    Open([&](DialogControl& dialog) {
        ASSERT_TRUE(dialog.WaitShown());
        // A 200-pixel-wide skin places the close button and title from its width.
        EXPECT_EQ(Box(dialog.ItemRect(0)), (std::vector<LONG>{0, 0, 200, 120}));
        EXPECT_EQ(Box(dialog.ItemRect(kClose)), (std::vector<LONG>{177, 5, 177 + 18, 5 + 19}));
        EXPECT_EQ(Box(dialog.ItemRect(kTitle)), (std::vector<LONG>{30, 7, 30 + 150, 7 + 20}));
        host.setting.Sys("SKIN", "ACTIVE", "skin\\DefaultSkin.dll");
        host.login.BroadcastSkinChange();  // from this thread, as the skin switch does
        ASSERT_TRUE(dialog.Flush());
        EXPECT_EQ(Box(dialog.ItemRect(0)), (std::vector<LONG>{0, 0, 386, 284}));
        EXPECT_EQ(dialog.ItemRect(kClose).left, 386 - 23);
        HRGN hRegion = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(GetWindowRgn(dialog.Handle(), hRegion), COMPLEXREGION);
        EXPECT_FALSE(PtInRegion(hRegion, 0, 0));
        EXPECT_TRUE(PtInRegion(hRegion, 193, 142));
        DeleteObject(hRegion);
        POINT at{3, 60};  // the whole surface drags the window
        ClientToScreen(dialog.Handle(), &at);
        EXPECT_EQ(SendMessageA(dialog.Handle(), WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)),
                  HTCAPTION);
        // Shown by the dialog box, hidden for the reload, shown again.
        EXPECT_EQ(dialog.ShowHistory(), (std::vector<int>{1, -1, 1}));
        reloaded = true;
    });
    EXPECT_TRUE(reloaded);
}

// Which failure is traced how is the dialog model's part; here: the dialog closes all the same.
TEST_F(SettingDialogTest, ASaveFailureIsTracedAndTheDialogClosesAllTheSame) {
    StoreProxy(host, "1", "h", "1", "u", "p");
    TraceCapture trace;
    host.container.Withdraw(PLUGIN_ID_CRYPT, IID_CRYPT);
    EXPECT_EQ(Open([](DialogControl& dialog) { dialog.Click(IDOK); }).result, IDOK);
    EXPECT_EQ(host.setting.TakeUserWrites(),
              "PROXY/TYPE=1 PROXY/ADDRESS=h PROXY/PORT=1 PROXY/USER=u");
    EXPECT_TRUE(trace.Has("GetCryptPlugin failed!", 2));
}

TEST_F(SettingDialogTest, OpensOnlyWithAHostAndTheTemplateOfTheLibraryModule) {
    CSettingUIImpl withoutHost(nullptr);
    EXPECT_EQ(Open([](DialogControl&) {}, &withoutHost).result, -1);
    SetLibraryModuleHandle(nullptr);
    DialogRun run = Open([](DialogControl&) {});
    EXPECT_EQ(run.result, -1);
    EXPECT_FALSE(run.bOpened);

    // As a host opens it: through the plug-in library, which holds the template.
    HMODULE hPlugin = LoadLibraryA((ProgramDirectory() + "LoginPlugin.dll").c_str());
    ASSERT_TRUE(hPlugin);
    auto pCreate = reinterpret_cast<CreatePluginFn>(
        reinterpret_cast<void*>(GetProcAddress(hPlugin, LOGIN_CREATE_PLUGIN_EXPORT)));
    ASSERT_TRUE(pCreate);
    IBasePlugin* pPlugin = pCreate();
    pPlugin->SetPluginContainer(&host.container);
    IBaseInterface* pInterface = nullptr;
    ASSERT_TRUE(pPlugin->QueryInterface(IID_SETTING_UI, &pInterface));
    auto titled = [&](DialogControl& dialog) {
        EXPECT_EQ(WindowText(dialog.Handle()), host.strings.GetString(11003));
    };
    run = Open(titled, dynamic_cast<ISettingUI*>(pInterface));
    pPlugin->Release();
    FreeLibrary(hPlugin);
    EXPECT_EQ(run.result, IDCANCEL);
}

// A service stopped while its dialog is open: the release, on another thread, closes the dialog
// as its Cancel does (nothing typed is stored) and frees nothing until the dialog's call returned.
TEST_F(SettingDialogTest, AReleaseOnAnotherThreadClosesTheOpenDialogAsCancelAndWaits) {
    StoreProxy(host, "1", "h", "1", "u", "p");
    host.setting.TakeUserWrites();
    auto* plugin = new CLoginPluginImpl();
    plugin->SetPluginContainer(&host.container);
    IBaseInterface* pInterface = nullptr;
    ASSERT_TRUE(plugin->QueryInterface(IID_SETTING_UI, &pInterface));
    const DialogRun run = Open(
        [plugin](DialogControl& dialog) {
            dialog.Type(kUser, "x");
            EXPECT_TRUE(dialog.Flush());
            plugin->Release();
        },
        static_cast<ISettingUI*>(pInterface));
    EXPECT_TRUE(run.bOpened);
    EXPECT_EQ(run.result, IDCANCEL);
    EXPECT_EQ(host.setting.TakeUserWrites(), "");
}

// The host's main window, active on the test's thread; WM_APP asks it for the settings dialog
// again, as a host's menu would while the dialog runs.
class HostWindow {
public:
    explicit HostWindow(ISettingUI& ui) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &HostWindow::Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "LoginTestHostWindow";
        RegisterClassA(&wc);
        s_pUi = &ui;
        m_hWnd = CreateWindowExA(0, wc.lpszClassName, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 120,
                                 90, 640, 480, nullptr, nullptr, wc.hInstance, nullptr);
        SetActiveWindow(m_hWnd);
    }
    ~HostWindow() { DestroyWindow(m_hWnd); }
    HWND Handle() const { return m_hWnd; }
    static long long s_nNested;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_APP) return DefWindowProcA(hWnd, message, wParam, lParam);
        s_nNested = s_pUi->ShowSettingDialog();
        return 1;
    }
    static ISettingUI* s_pUi;
    HWND m_hWnd = nullptr;
};
long long HostWindow::s_nNested = 0;
ISettingUI* HostWindow::s_pUi = nullptr;

BOOL CALLBACK CountDialog(HWND hWnd, LPARAM lParam) {
    char name[16] = {};
    GetClassNameA(hWnd, name, sizeof name);
    if (std::string(name) == "#32770") ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

TEST_F(SettingDialogTest, TheHostsActiveWindowOwnsTheDialogAndASecondCallRaisesTheOpenOne) {
    HostWindow hostWindow(ui);
    ASSERT_EQ(GetActiveWindow(), hostWindow.Handle());
    HWND owner = nullptr;
    bool bHostDisabled = false;
    POINT centres[2] = {};
    LRESULT nested = 0;
    int dialogs = 0;
    DialogRun run = Open([&](DialogControl& dialog) {
        ASSERT_TRUE(dialog.WaitShown());
        owner = GetWindow(dialog.Handle(), GW_OWNER);
        bHostDisabled = !IsWindowEnabled(hostWindow.Handle());
        RECT rcDialog{}, rcHost{};
        GetWindowRect(dialog.Handle(), &rcDialog);
        GetWindowRect(hostWindow.Handle(), &rcHost);
        centres[0] = {(rcDialog.left + rcDialog.right) / 2, (rcDialog.top + rcDialog.bottom) / 2};
        centres[1] = {(rcHost.left + rcHost.right) / 2, (rcHost.top + rcHost.bottom) / 2};
        // Handled on the dialog's thread inside its modal loop; the limit only keeps a second
        // modal dialog from blocking the driver for good.
        SendMessageTimeoutA(hostWindow.Handle(), WM_APP, 0, 0, SMTO_NORMAL, 10000,
                            reinterpret_cast<PDWORD_PTR>(&nested));
        EnumThreadWindows(GetWindowThreadProcessId(dialog.Handle(), nullptr), CountDialog,
                          reinterpret_cast<LPARAM>(&dialogs));
        EXPECT_TRUE(IsWindow(dialog.Handle()));
        dialog.Click(IDCANCEL);
    });
    EXPECT_EQ(run.result, IDCANCEL);
    EXPECT_EQ(owner, hostWindow.Handle());  // so the dialog opened
    EXPECT_TRUE(bHostDisabled);
    EXPECT_TRUE(IsWindowEnabled(hostWindow.Handle()));
    EXPECT_LE(std::abs(centres[0].x - centres[1].x), 1);
    EXPECT_LE(std::abs(centres[0].y - centres[1].y), 1);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(HostWindow::s_nNested, IDCANCEL);
    EXPECT_EQ(dialogs, 1);
}

TEST_F(SettingDialogTest, ScreenshotOfTheOpenDialogShowsTheSkinAndChineseTexts) {
    // The texts are GBK: only the Chinese code page shows them as characters.
    EXPECT_EQ(GetACP(), 936u) << "run the Windows tests with a Chinese locale (LC_ALL=zh_CN.UTF-8)";
    StoreProxy(host, "1", "192.168.0.10", "8080", "alice", "secret");
    Screenshot shot;
    Open([&](DialogControl& dialog) {
        EXPECT_EQ(dialog.Text(kLabelType), host.strings.GetString(2023));
        for (int i = 0; i < 3; ++i) {  // in the host's order although the list sorts
            char text[64] = {};
            dialog.Send(kType, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            EXPECT_EQ(text, host.strings.GetString(11000 + i));
        }
        ASSERT_TRUE(dialog.WaitShown());
        RedrawWindow(dialog.Handle(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ASSERT_TRUE(dialog.Flush());
        shot = CaptureWindow(dialog.Handle(), ProgramDirectory() + "settings_dialog.bmp");
    });
    ASSERT_EQ(std::make_pair(shot.width, shot.height), std::make_pair(386, 284));
    // The skin's body colour (236, 242, 250), below the group frame and left of the buttons.
    EXPECT_EQ(shot.pixels[270 * shot.width + 5] & 0xFFFFFF, 0xECF2FAu);
}

}  // namespace

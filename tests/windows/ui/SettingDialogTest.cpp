// The proxy settings dialog, opened through the settings UI and driven by window messages.
#include <gtest/gtest.h>

#include "SettingUIImpl.h"
#include "UiDriver.h"
#include "UiFakeHost.h"
#include "libs/trace/TraceCapture.h"
#include "platform/module.h"
#include "PluginIds.h"

namespace {

enum Control {
    kType = 4000,
    kAddress = 4001,
    kPort = 4002,
    kUser = 4003,
    kPassword = 4004,
    kLabelType = 4005,
    kGroup = 4010,
    kClose = 4011,
    kTitle = 4012,
};

struct EditState {
    std::string text;
    bool enabled;
    bool operator==(const EditState& o) const { return text == o.text && enabled == o.enabled; }
};

void PrintTo(const EditState& s, std::ostream* os) {
    *os << "{\"" << s.text << "\", " << (s.enabled ? "enabled" : "disabled") << "}";
}

// Address, port, user, password.
std::vector<EditState> Edits(const DialogControl& dialog) {
    std::vector<EditState> states;
    for (int id : {kAddress, kPort, kUser, kPassword})
        states.push_back({dialog.Text(id), dialog.Enabled(id)});
    return states;
}

class SettingDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The test program holds the dialog template in place of the plug-in library.
        SetLibraryModuleHandle(GetModuleHandleA(nullptr));
    }

    DialogRun Open(const std::function<void(UiWatch&, DialogControl&)>& fnDrive) {
        return RunModal([this] { return static_cast<long long>(m_ui.ShowSettingDialog()); },
                        fnDrive);
    }

    void StoreProxy(const char* type, const char* address, const char* port, const char* user,
                    const char* password) {
        host.setting.Proxy("TYPE", type);
        host.setting.Proxy("ADDRESS", address);
        host.setting.Proxy("PORT", port);
        host.setting.Proxy("USER", user);
        host.setting.Proxy("PASSWORD", host.crypt.Encrypt(password));
    }

    UiFakeHost host;
    CSettingUIImpl m_ui{&host.container};
};

TEST_F(SettingDialogTest, StoredUserProxyOpensOnTheSecondEntryAndSavesAllFiveKeys) {
    StoreProxy("1", "proxy.corp", "3128", "alice", "pw1");
    int selection = -2;
    std::vector<EditState> edits;
    std::vector<std::pair<std::string, LRESULT>> entries;
    std::string caption, label;
    DialogRun run = Open([&](UiWatch&, DialogControl& dialog) {
        selection = dialog.Selection(kType);
        edits = Edits(dialog);
        for (int i = 0; i < dialog.Count(kType); ++i)
            entries.emplace_back(dialog.ItemText(kType, i), dialog.ItemData(kType, i));
        caption = dialog.Caption();
        label = dialog.Text(kLabelType);
        dialog.Click(IDOK);
    });

    ASSERT_TRUE(run.bOpened);
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(selection, 1);
    EXPECT_EQ(edits, (std::vector<EditState>{
                         {"proxy.corp", true}, {"3128", true}, {"alice", true}, {"pw1", true}}));
    // The list keeps the host's order although the control sorts.
    EXPECT_EQ(entries,
              (std::vector<std::pair<std::string, LRESULT>>{
                  {ui_text::kTypeNone, 0}, {ui_text::kTypeUser, 1}, {ui_text::kTypeBrowser, 2}}));
    EXPECT_EQ(caption, ui_text::kTitle);
    EXPECT_EQ(label, "\xC0\xE0\xD0\xCD:");
    EXPECT_EQ(
        host.setting.UserWrites(),
        (std::vector<std::string>{"PROXY/TYPE=1", "PROXY/ADDRESS=proxy.corp", "PROXY/PORT=3128",
                                  "PROXY/USER=alice", "PROXY/PASSWORD=enc:1wp"}));
}

TEST_F(SettingDialogTest, BrowserProxyShowsTheRegistryValueAndSavesOnlyUserAndPassword) {
    BrowserProxyGuard browser("10.1.2.3:8080");
    StoreProxy("2", "typed.host", "1", "bob", "pw2");
    int selection = -2;
    std::vector<EditState> edits;
    DialogRun run = Open([&](UiWatch&, DialogControl& dialog) {
        selection = dialog.Selection(kType);
        edits = Edits(dialog);
        dialog.Click(IDOK);
    });

    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(selection, 2);
    EXPECT_EQ(edits, (std::vector<EditState>{
                         {"10.1.2.3", false}, {"8080", false}, {"bob", true}, {"pw2", true}}));
    EXPECT_EQ(host.setting.UserWrites(), (std::vector<std::string>{"PROXY/TYPE=2", "PROXY/USER=bob",
                                                                   "PROXY/PASSWORD=enc:2wp"}));
}

TEST_F(SettingDialogTest, SwitchingTypesRefillsTheEditsFromTheValuesReadAtOpening) {
    BrowserProxyGuard browser("10.1.2.3:8080");
    StoreProxy("2", "typed.host", "1", "bob", "pw2");
    std::vector<EditState> asUser, asNone;
    DialogRun run = Open([&](UiWatch&, DialogControl& dialog) {
        dialog.Type(kUser, "xyz");  // typed, then dropped by the switch
        dialog.Select(kType, 1);
        asUser = Edits(dialog);
        dialog.Select(kType, 0);
        asNone = Edits(dialog);
        dialog.Click(IDCANCEL);
    });

    EXPECT_EQ(run.result, IDCANCEL);
    // Type 2 read the browser's proxy as address and port.
    EXPECT_EQ(asUser, (std::vector<EditState>{
                          {"10.1.2.3", true}, {"8080", true}, {"bob", true}, {"pw2", true}}));
    EXPECT_EQ(asNone, (std::vector<EditState>{{"", false}, {"", false}, {"", false}, {"", false}}));
    EXPECT_TRUE(host.setting.UserWrites().empty());
}

TEST_F(SettingDialogTest, NoProxyReadsNoAddressAndSavesTheTypeAlone) {
    StoreProxy("0", "old.host", "81", "carol", "pw3");
    int selection = -2;
    std::vector<EditState> atOpening, asUser;
    DialogRun run = Open([&](UiWatch&, DialogControl& dialog) {
        selection = dialog.Selection(kType);
        atOpening = Edits(dialog);
        dialog.Select(kType, 1);
        asUser = Edits(dialog);
        dialog.Select(kType, 0);
        dialog.Click(IDOK);
    });

    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(selection, 0);
    EXPECT_EQ(atOpening,
              (std::vector<EditState>{{"", false}, {"", false}, {"", false}, {"", false}}));
    EXPECT_EQ(asUser,
              (std::vector<EditState>{{"", true}, {"", true}, {"carol", true}, {"pw3", true}}));
    EXPECT_EQ(host.setting.UserWrites(), (std::vector<std::string>{"PROXY/TYPE=0"}));
}

TEST_F(SettingDialogTest, SavingAProxyTypedInStoresTheEditsAsTheyAre) {
    StoreProxy("0", "", "", "", "");
    DialogRun run = Open([&](UiWatch&, DialogControl& dialog) {
        dialog.Select(kType, 1);
        dialog.Type(kAddress, "10.0.0.9");
        dialog.Type(kUser, "dave");
        dialog.Type(kPassword, "s3");
        dialog.Click(IDOK);
    });

    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(host.setting.UserWrites(),
              (std::vector<std::string>{"PROXY/TYPE=1", "PROXY/ADDRESS=10.0.0.9", "PROXY/PORT=",
                                        "PROXY/USER=dave", "PROXY/PASSWORD=enc:3s"}));
}

TEST_F(SettingDialogTest, EditMasksRefuseCharactersOutsideThem) {
    StoreProxy("1", "", "", "", "");
    std::string address, port;
    Open([&](UiWatch&, DialogControl& dialog) {
        dialog.Type(kAddress, "Proxy-1_a.b:80/x");
        dialog.Type(kPort, "8a0-8 \b");
        address = dialog.Text(kAddress);
        port = dialog.Text(kPort);
        dialog.Click(IDCANCEL);
    });

    EXPECT_EQ(address, "Proxy1a.b:80/x");
    EXPECT_EQ(port, "80");  // the backspace passes
}

TEST_F(SettingDialogTest, UnknownStoredTypeSelectsNothingAndOkAsksForAType) {
    StoreProxy("5", "h", "1", "u", "p");
    int selection = -2;
    std::vector<EditState> edits;
    std::vector<std::string> box;
    DialogRun run = Open([&](UiWatch& watch, DialogControl& dialog) {
        selection = dialog.Selection(kType);
        edits = Edits(dialog);
        dialog.Click(IDOK);
        // No message-box library beside the program: the system's box, with the host's caption.
        HWND hBox = watch.WaitDialog();
        if (!hBox) return;
        box = WindowTexts(hBox);
        PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    });

    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(selection, CB_ERR);
    EXPECT_EQ(edits, (std::vector<EditState>{{"", true}, {"", true}, {"", true}, {"", true}}));
    ASSERT_FALSE(box.empty()) << "no message box opened";
    EXPECT_EQ(box[0], ui_text::kNoTypeCaption);
    EXPECT_NE(std::find(box.begin(), box.end(), ui_text::kNoType), box.end());
    EXPECT_TRUE(host.setting.UserWrites().empty());
}

TEST_F(SettingDialogTest, CloseButtonEndsWithOkAndCancelWithCancelAndNeitherSaves) {
    StoreProxy("1", "h", "1", "u", "p");
    size_t listenersWhileOpen = 0;
    DialogRun closed = Open([&](UiWatch&, DialogControl& dialog) {
        listenersWhileOpen = host.login.Handlers().size();
        dialog.Click(kClose);
    });
    EXPECT_EQ(host.login.Handlers().size(), 0u);
    // A second opening replaces the first dialog object.
    DialogRun cancelled = Open([&](UiWatch&, DialogControl& dialog) { dialog.Click(IDCANCEL); });

    EXPECT_EQ(listenersWhileOpen, 1u);
    EXPECT_EQ(closed.result, IDOK);
    EXPECT_EQ(cancelled.result, IDCANCEL);
    EXPECT_EQ(host.login.Handlers().size(), 0u);
    EXPECT_TRUE(host.setting.UserWrites().empty());
}

TEST_F(SettingDialogTest, SkinChangeWhileOpenReloadsTheSkinInPlace) {
    host.setting.Sys("SKIN", "ACTIVE", "skin\\TestSkin24.dll");
    StoreProxy("1", "h", "1", "u", "p");
    SIZE before{}, after{};
    RECT closeBefore{}, titleBefore{}, closeAfter{};
    bool cornerCut = false, middleKept = false;
    std::vector<int> shows;
    Open([&](UiWatch& watch, DialogControl& dialog) {
        ASSERT_TRUE(watch.WaitShown(dialog.Handle()));
        before = dialog.WindowSize();
        closeBefore = dialog.ItemRect(kClose);
        titleBefore = dialog.ItemRect(kTitle);
        host.setting.Sys("SKIN", "ACTIVE", "skin\\DefaultSkin.dll");
        host.login.BroadcastSkinChange();  // from this thread, as the skin switch does
        ASSERT_TRUE(dialog.Flush());
        after = dialog.WindowSize();
        closeAfter = dialog.ItemRect(kClose);
        HRGN hRegion = CreateRectRgn(0, 0, 0, 0);
        if (GetWindowRgn(dialog.Handle(), hRegion) != ERROR) {
            cornerCut = !PtInRegion(hRegion, 0, 0);
            middleKept = PtInRegion(hRegion, 193, 142);
        }
        DeleteObject(hRegion);
        shows = watch.ShowHistory(dialog.Handle());
        dialog.Click(IDCANCEL);
    });

    EXPECT_EQ(before.cx, 200);
    EXPECT_EQ(before.cy, 120);
    EXPECT_EQ(closeBefore.left, 177);
    EXPECT_EQ(closeBefore.top, 5);
    EXPECT_EQ(closeBefore.right - closeBefore.left, 18);
    EXPECT_EQ(closeBefore.bottom - closeBefore.top, 19);
    EXPECT_EQ(titleBefore.left, 30);
    EXPECT_EQ(titleBefore.right - titleBefore.left, 150);
    EXPECT_EQ(after.cx, 386);
    EXPECT_EQ(after.cy, 284);
    EXPECT_EQ(closeAfter.left, 386 - 23);
    EXPECT_TRUE(cornerCut);
    EXPECT_TRUE(middleKept);
    // Shown by the dialog box, hidden for the reload, shown again.
    EXPECT_EQ(shows, (std::vector<int>{1, -1, 1}));
}

TEST_F(SettingDialogTest, SaveFailuresAreTracedAndTheDialogClosesAllTheSame) {
    StoreProxy("1", "h", "1", "u", "p");
    TraceCapture trace;
    host.container.Refuse(PLUGIN_ID_CRYPT, IID_CRYPT);
    DialogRun noCrypt = Open([](UiWatch&, DialogControl& dialog) { dialog.Click(IDOK); });
    EXPECT_EQ(noCrypt.result, IDOK);
    EXPECT_EQ(host.setting.UserWrites(),
              (std::vector<std::string>{"PROXY/TYPE=1", "PROXY/ADDRESS=h", "PROXY/PORT=1",
                                        "PROXY/USER=u"}));
    TraceRecord record = trace.Find("GetCryptPlugin failed!");
    EXPECT_EQ(record.level, 2);
    EXPECT_EQ(record.module, "LoginPlguin");
    EXPECT_EQ(record.source, "src\\LoginPlugin\\SettingDlg");

    host.container.ServeNull(PLUGIN_ID_CRYPT, IID_CRYPT);
    Open([](UiWatch&, DialogControl& dialog) { dialog.Click(IDOK); });
    EXPECT_TRUE(trace.Has("pCrypt pointer is null!", 2));

    host.setting.FailUserKey("ADDRESS");
    size_t writesBefore = host.setting.UserWrites().size();
    DialogRun failedWrite = Open([](UiWatch&, DialogControl& dialog) { dialog.Click(IDOK); });
    EXPECT_EQ(failedWrite.result, IDOK);
    // The type was stored before the failure and stays; nothing after it was tried.
    EXPECT_EQ(host.setting.UserWrites().size(), writesBefore + 1);
    EXPECT_TRUE(trace.Has("SetUserSetting() failed!", 2));
}

TEST_F(SettingDialogTest, NoContainerOrNoModuleMakesNoDialog) {
    CSettingUIImpl withoutHost(nullptr);
    EXPECT_EQ(RunModal([&] { return static_cast<long long>(withoutHost.ShowSettingDialog()); },
                       [](UiWatch&, DialogControl&) {})
                  .result,
              -1);
    SetLibraryModuleHandle(nullptr);
    DialogRun run = Open([](UiWatch&, DialogControl&) {});
    EXPECT_EQ(run.result, -1);
    EXPECT_FALSE(run.bOpened);
}

TEST_F(SettingDialogTest, ScreenshotOfTheOpenDialogShowsTheSkinAndChineseTexts) {
    // The texts are GBK: only the Chinese code page shows them as characters.
    EXPECT_EQ(GetACP(), 936u) << "run the Windows tests with a Chinese locale (LC_ALL=zh_CN.UTF-8)";
    StoreProxy("1", "192.168.0.10", "8080", "alice", "secret");
    Screenshot shot;
    Open([&](UiWatch& watch, DialogControl& dialog) {
        ASSERT_TRUE(watch.WaitShown(dialog.Handle()));
        dialog.Select(kType, 1);
        ASSERT_TRUE(dialog.Flush());
        RedrawWindow(dialog.Handle(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ASSERT_TRUE(dialog.Flush());
        shot = CaptureWindow(dialog.Handle());
        dialog.Click(IDCANCEL);
    });

    ASSERT_EQ(shot.width, 386);
    ASSERT_EQ(shot.height, 284);
    EXPECT_TRUE(shot.WriteBmp(ProgramDirectory() + "settings_dialog.bmp"));
    // The skin's body colour, below the group frame and left of the buttons.
    EXPECT_EQ(shot.Pixel(5, 270), RGB(236, 242, 250));
}

}  // namespace

// The Linux face of the settings UI against a stand-in for its dialog program: what the plug-in
// tells the dialog, what each act of the user returns and stores, a second opening while the
// dialog is open, a dialog program that dies or is missing; and the lines they speak.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "FakeHost.h"
#include "RegistrySandbox.h"
#include "LoginPluginImpl.h"
#include "posix/SettingDlg.h"
#include "SettingUIImpl.h"
#include "SettingUIProtocol.h"
#include "TempDir.h"
#include "libs/trace/TraceCapture.h"

namespace {

// "登录设置" (login settings) and "用户" (user), in GBK and in UTF-8.
const char kTitleGbk[] = "\xB5\xC7\xC2\xBC\xC9\xE8\xD6\xC3";
const char kTitleUtf8[] = "\xE7\x99\xBB\xE5\xBD\x95\xE8\xAE\xBE\xE7\xBD\xAE";
const char kUserGbk[] = "\xD3\xC3\xBB\xA7";
const char kUserUtf8[] = "\xE7\x94\xA8\xE6\x88\xB7";

class SettingUIPosixTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingHelperForTest(FAKE_DIALOG);
        setenv("FAKE_DIALOG_LOG", dir.File("dialog.log").c_str(), 1);
        unsetenv("FAKE_DIALOG_SHOWN");
        unsetenv("FAKE_DIALOG_QUIT");
        unsetenv("FAKE_DIALOG_LINGER");
        for (int id : {2000, 2001, 2002, 2022, 2023, 2024, 2025, 2026, 2027, 5999, 7001, 11000,
                       11001, 11002})
            host.strings.Set(id, "s" + std::to_string(id));
        host.strings.Set(11003, kTitleGbk);
    }
    void TearDown() override {
        SetSettingHelperForTest("");
        SetSettingReapBudgetForTest(std::chrono::milliseconds(-1));
    }
    void StoreProxy(const char* type) {
        host.setting.User("PROXY", "TYPE", type);
        host.setting.User("PROXY", "ADDRESS", "proxy.local");
        host.setting.User("PROXY", "PORT", "3128");
        host.setting.User("PROXY", "USER", "alice");
        host.setting.User("PROXY", "PASSWORD", host.crypt.Encrypt("pw"));
    }
    // What the dialog was told, one line each, taken for the next opening.
    std::string TakeLog() {
        std::ifstream in(dir.File("dialog.log"));
        std::stringstream text;
        text << in.rdbuf();
        in.close();
        std::remove(dir.File("dialog.log").c_str());
        return text.str();
    }
    // Opens `pUi`'s dialog on a thread of its own and returns once the dialog is shown.
    std::thread OpenOnAThread(ISettingUI* pUi, int32_t& result) {
        const std::string shown = dir.File("shown");
        std::remove(shown.c_str());
        EXPECT_EQ(mkfifo(shown.c_str(), 0600), 0);
        setenv("FAKE_DIALOG_SHOWN", shown.c_str(), 1);
        std::thread opener([pUi, &result] { result = pUi->ShowSettingDialog(); });
        std::ifstream wait(shown);  // opens once the dialog is shown
        std::string word;
        wait >> word;
        EXPECT_EQ(word, "shown");
        return opener;
    }
    TempDir dir;
    FakeHost host;
    CSettingUIImpl ui{&host.container};
};

TEST_F(SettingUIPosixTest, TheDialogIsToldTheHostsTextsTheMasksAndTheStoredChoiceInUtf8) {
    StoreProxy("1");
    setenv("FAKE_DIALOG_SAYS", "cancel\n", 1);
    EXPECT_EQ(ui.ShowSettingDialog(), 2);
    const std::string log = TakeLog();
    for (const std::string& line :
         {std::string("text\ttitle\t") + kTitleUtf8, std::string("label\t4\ts2027"),
          std::string("entry\t2\ts11002"), std::string("mask\tport\t0123456789"),
          std::string("select\t1"), std::string("fields\t1111\tproxy.local\t3128\talice\tpw"),
          std::string("show"), std::string("end\t2")})
        EXPECT_NE(log.find(line + "\n"), std::string::npos) << line << " in\n" << log;
}

TEST_F(SettingUIPosixTest, EachActOfTheUserEndsAndStoresAsTheWindowsDialogDoes) {
    RegistrySandbox registry;
    registry.SetString("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                       "ProxyServer", "10.1.2.3:8080");
    const struct {
        const char* stored;
        std::string says;
        int32_t end;
        std::string writes;
        std::string told;  // a line the dialog was told
    } cases[] = {
        // What the masks refuse does not reach the settings, whatever the dialog sent.
        {"1", "ok\t1\th-_.x\t8x0 \tdave\ts3\n", 1,
         "PROXY/TYPE=1 PROXY/ADDRESS=h.x PROXY/PORT=80 PROXY/USER=dave PROXY/PASSWORD=ENC:)i",
         "end\t1"},
        // Switching to the browser's proxy shows it; the user typed in UTF-8 is stored in GBK.
        {"0", "selected\t2\nok\t2\t10.1.2.3\t8080\t" + std::string(kUserUtf8) + "\tpw\n", 1,
         "PROXY/TYPE=2 PROXY/USER=" + std::string(kUserGbk) + " PROXY/PASSWORD=ENC:*-",
         "fields\t0011\t10.1.2.3\t8080\talice\tpw"},
        // No type selected: the message first, then the dialog ends with OK having stored nothing.
        {"5", "ok\t-\t\t\t\t\n", 1, "", "message\ts7001\ts2000"},
        {"1", "close\n", 1, "", "end\t1"},
        {"1", "cancel\n", 2, "", "end\t2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        StoreProxy(c.stored);
        host.setting.TakeUserWrites();
        setenv("FAKE_DIALOG_SAYS", c.says.c_str(), 1);
        EXPECT_EQ(ui.ShowSettingDialog(), c.end);
        EXPECT_EQ(host.setting.TakeUserWrites(), c.writes);
        const std::string log = TakeLog();
        EXPECT_NE(log.find(c.told + "\n"), std::string::npos) << log;
    }
}

TEST_F(SettingUIPosixTest, ASecondOpeningWhileOneIsOpenRaisesItAndEndsWithCancel) {
    setenv("FAKE_DIALOG_SAYS", "", 1);
    int32_t first = 0;
    std::thread opener = OpenOnAThread(&ui, first);
    EXPECT_EQ(ui.ShowSettingDialog(), 2);
    opener.join();
    // The stand-in answers the raise with Cancel, which ends the first opening.
    EXPECT_EQ(first, 2);
    EXPECT_NE(TakeLog().find("raise\n"), std::string::npos);
}

// A service stopped while its dialog is open: the release ends the dialog as Cancel does,
// stores nothing, and frees nothing the dialog's call still uses (AddressSanitizer and
// ThreadSanitizer see to the last).
TEST_F(SettingUIPosixTest, AReleaseWhileTheDialogIsOpenEndsItAsCancelAndWaitsForIt) {
    StoreProxy("1");
    host.setting.TakeUserWrites();
    setenv("FAKE_DIALOG_SAYS", "", 1);
    auto* plugin = new CLoginPluginImpl();
    plugin->SetPluginContainer(&host.container);
    IBaseInterface* pInterface = nullptr;
    ASSERT_TRUE(plugin->QueryInterface(20498, &pInterface));
    int32_t result = 0;
    std::thread opener = OpenOnAThread(static_cast<ISettingUI*>(pInterface), result);
    plugin->Release();
    opener.join();
    EXPECT_EQ(result, 2);
    EXPECT_EQ(host.setting.TakeUserWrites(), "");
    EXPECT_NE(TakeLog().find("end\t2\n"), std::string::npos);
}

// What the dialog program sends is bounded, line by line; one that stays on after its end (its
// output open) is killed, and the opening ends all the same.
TEST_F(SettingUIPosixTest, ALineBeyondItsBoundOrADialogThatStaysOnEndsTheOpening) {
    const struct {
        std::string says;
        bool bLinger;
        int32_t end;
        const char* trace;
    } cases[] = {
        {std::string(kMaxSettingLine + 1, 'x'), false, -1,
         "the settings dialog sent a line too long!"},
        {std::string(kMaxSettingLine - 1, 'x') + "\ncancel\n", false, 2, nullptr},
        {"cancel\n", true, 2, "the settings dialog program did not end: killed!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says.size());
        TraceCapture trace;
        setenv("FAKE_DIALOG_SAYS", c.says.c_str(), 1);
        if (c.bLinger) setenv("FAKE_DIALOG_LINGER", "1", 1);
        // The one it is given to leave is spent at once: the lingering one is killed at once.
        SetSettingReapBudgetForTest(std::chrono::milliseconds(c.bLinger ? 0 : -1));
        EXPECT_EQ(ui.ShowSettingDialog(), c.end);
        if (c.trace) {
            EXPECT_TRUE(trace.Has(c.trace, 2));
        }
        unsetenv("FAKE_DIALOG_LINGER");
    }
}

// The skin's strings are read as every file of the plug-in is: a FIFO in their place (or
// anything but a regular file) is no file, and the dialog opens all the same.
TEST_F(SettingUIPosixTest, ASkinWhoseStringsAreAFifoStillOpens) {
    const std::string skin = dir.File("skin");
    ASSERT_EQ(mkdir(skin.c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((skin + "/strings.ini").c_str(), 0600), 0);
    host.setting.Sys("SKIN", "ACTIVE", skin);
    setenv("FAKE_DIALOG_SAYS", "cancel\n", 1);
    EXPECT_EQ(ui.ShowSettingDialog(), 2);
    EXPECT_NE(TakeLog().find("skin\tframe\t"), std::string::npos);
}

TEST_F(SettingUIPosixTest, ADialogProgramThatDiesOrIsMissingEndsTheOpeningWithMinusOne) {
    TraceCapture trace;
    setenv("FAKE_DIALOG_QUIT", "1", 1);
    EXPECT_EQ(ui.ShowSettingDialog(), -1);
    EXPECT_TRUE(trace.Has("the settings dialog ended early!", 2));
    SetSettingHelperForTest(dir.File("missing"));
    EXPECT_EQ(ui.ShowSettingDialog(), -1);
    EXPECT_TRUE(trace.Has("the settings dialog program cannot be started!", 2));
    EXPECT_EQ(host.setting.TakeUserWrites(), "");
    CSettingUIImpl withoutHost(nullptr);
    EXPECT_EQ(withoutHost.ShowSettingDialog(), -1);
}

TEST(SettingLines, AnyTextSurvivesTheLineAndLinesArriveWholeOnly) {
    const std::vector<std::string> fields = {"ok", "a\tb", "c\\n\nd", "", "\r"};
    const std::string line = EncodeSettingLine(fields);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(DecodeSettingLine(line.substr(0, line.size() - 1)), fields);

    CSettingLineReader reader;
    std::string got;
    reader.Feed("sel", 3);
    EXPECT_FALSE(reader.Next(got));
    reader.Feed("ected\t2\nclo", 11);
    ASSERT_TRUE(reader.Next(got));
    EXPECT_EQ(got, "selected\t2");
    EXPECT_FALSE(reader.Next(got));

    // Up to the bound a line is taken, whole, however it arrives; past it the reader is done.
    CSettingLineReader bounded;
    const std::string longest(kMaxSettingLine, 'y');
    for (char ch : longest) bounded.Feed(&ch, 1);
    bounded.Feed("\nz", 2);
    ASSERT_EQ(bounded.Take(got), CSettingLineReader::Result::kLine);
    EXPECT_EQ(got, longest);
    bounded.Feed(longest.data(), longest.size());
    EXPECT_EQ(bounded.Take(got), CSettingLineReader::Result::kTooLong);
    bounded.Feed("\n", 1);
    EXPECT_EQ(bounded.Take(got), CSettingLineReader::Result::kTooLong);
}

}  // namespace

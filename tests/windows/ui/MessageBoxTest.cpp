// Message boxes through the host's library or the system, and the active skin's colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "UiDriver.h"
#include "UiHost.h"
#include "src/LoginPlugin/win32/MessageBoxes.h"
#include "src/LoginPlugin/win32/SkinValues.h"
#include "tools/xpmessagebox/XPMessageBoxProbe.h"

namespace {

// Puts one of the test builds of the message-box library beside the program for its lifetime.
struct LibraryBesideProgram {
    explicit LibraryBesideProgram(const char* variant) {
        const std::string source = ProgramDirectory() + "xpmessagebox\\" + variant + "\\";
        copied = CopyFileA((source + XPMESSAGEBOX_DLL).c_str(), path.c_str(), FALSE) != FALSE;
    }
    ~LibraryBesideProgram() { DeleteFileA(path.c_str()); }
    const std::string path = ProgramDirectory() + XPMESSAGEBOX_DLL;
    bool copied = false;
};

std::wstring RecordText(const XPMessageBoxCall& call, size_t offset) {
    const auto* pText = reinterpret_cast<const wchar_t*>(call.record + offset);
    return std::wstring(pText, wcsnlen(pText, XPMB_TEXT_UNITS));
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { SetMessageBoxContainer(&host.container); }
    UiHost host;
};

TEST_F(MessageBoxTest, HostLibraryGetsTheRecordTitleAndTextAndItsEndCodeComesBack) {
    LibraryBesideProgram library("probe");
    ASSERT_TRUE(library.copied);
    // Held here too, so that its record outlives the box's own loading and freeing.
    HMODULE hProbe = LoadLibraryA(library.path.c_str());
    ASSERT_TRUE(hProbe);
    auto pLastCall = reinterpret_cast<XPMessageBoxLastCallFn>(
        reinterpret_cast<void*>(GetProcAddress(hProbe, XPMB_PROBE_LAST_CALL)));
    auto pSetResult = reinterpret_cast<XPMessageBoxSetResultFn>(
        reinterpret_cast<void*>(GetProcAddress(hProbe, XPMB_PROBE_SET_RESULT)));
    pSetResult(IDNO);

    // The probe's record is larger than the least: the first box finds it zeroed past the
    // texts, and the probe's own state there is still in place for the next box.
    ShowMessageBox(nullptr, "first", "unused caption", MB_OK);
    const std::vector<unsigned char> firstRecord(pLastCall()->record + XPMB_MIN_RECORD_SIZE,
                                                 pLastCall()->record + XPMB_PROBE_RECORD_SIZE);
    const int result = ShowMessageBox(nullptr, host.strings.GetString(7001).c_str(),
                                      "unused caption", MB_YESNO | MB_ICONQUESTION);
    const XPMessageBoxCall call = *pLastCall();
    FreeLibrary(hProbe);

    EXPECT_EQ(static_cast<size_t>(std::count(firstRecord.begin(), firstRecord.end(), 0)),
              firstRecord.size());
    EXPECT_EQ(call.record[XPMB_PROBE_RECORD_SIZE - 1], 0x5A);

    EXPECT_EQ(result, IDNO);
    EXPECT_EQ(call.nCalls, 2);
    EXPECT_EQ(call.nConfigCalls, 2);
    EXPECT_EQ(RecordText(call, 5720), L"\u786E\u5B9A");                    // 4102
    EXPECT_EQ(RecordText(call, 520), L"\u53D6\u6D88");                     // 4103
    EXPECT_EQ(RecordText(call, 8840), L"\u662F");                          // 4109
    EXPECT_EQ(RecordText(call, 4680), L"\u5426");                          // 4110
    EXPECT_EQ(std::wstring(call.title), L"\u767B\u5F55\u52A9\u624B 2.1");  // 2019, VERSION/MAJOR
    EXPECT_EQ(std::wstring(call.text), L"\u8BF7\u9009\u62E9\u4EE3\u7406\u7C7B\u578B");
    EXPECT_EQ(call.nType, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
}

TEST_F(MessageBoxTest, HostLibraryWithoutCreateInstanceShowsNothing) {
    LibraryBesideProgram library("bare");
    ASSERT_TRUE(library.copied);
    DialogRun run = RunModal([] { return ShowMessageBox(nullptr, "text", "caption", MB_OK); },
                             [](DialogControl&) {});
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(run.bOpened);
}

TEST_F(MessageBoxTest, SkinColourIsReadFromTheActiveSkinLibrary) {
    const std::pair<const char*, COLORREF> cases[] = {
        // (How the value's text reads: the dialog model's unit test.)
        {"skin\\TestSkin24.dll", 0x000080FF},  // "255 128 0"
        {"skin\\NoSuchSkin.dll", 0},           // no library
    };
    for (const auto& [skin, expected] : cases) {
        host.setting.Sys("SKIN", "ACTIVE", skin);
        EXPECT_EQ(GetSkinColor(7191), expected) << skin;
    }
    EXPECT_EQ(GetActiveSkinPath(), ProgramDirectory() + "skin\\NoSuchSkin.dll");

    SetMessageBoxContainer(nullptr);
    EXPECT_EQ(GetActiveSkinPath(), "");
    EXPECT_EQ(GetSkinColor(7191), 0u);
}

}  // namespace

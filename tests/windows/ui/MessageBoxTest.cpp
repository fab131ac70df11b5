// Message boxes through the host's library or the system, and the active skin's colours.
#include <gtest/gtest.h>

#include <cwchar>

#include "UiDriver.h"
#include "UiFakeHost.h"
#include "src/LoginPlugin/win32/MessageBoxes.h"
#include "src/LoginPlugin/win32/SkinValues.h"
#include "tools/xpmessagebox/XPMessageBoxProbe.h"

namespace {

// Puts one of the test builds of the message-box library beside the program for its lifetime.
class LibraryBesideProgram {
public:
    explicit LibraryBesideProgram(const char* variant)
        : m_strPath(ProgramDirectory() + XPMESSAGEBOX_DLL) {
        std::string source =
            ProgramDirectory() + "xpmessagebox\\" + variant + "\\" + XPMESSAGEBOX_DLL;
        m_bCopied = CopyFileA(source.c_str(), m_strPath.c_str(), FALSE) != FALSE;
    }
    ~LibraryBesideProgram() { DeleteFileA(m_strPath.c_str()); }
    bool Copied() const { return m_bCopied; }
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
    bool m_bCopied = false;
};

std::wstring RecordText(const XPMessageBoxCall& call, size_t offset) {
    const auto* pText = reinterpret_cast<const wchar_t*>(call.record + offset);
    return std::wstring(pText, wcsnlen(pText, XPMB_TEXT_UNITS));
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { SetMessageBoxContainer(&host.container); }
    UiFakeHost host;
};

TEST_F(MessageBoxTest, HostLibraryGetsTheRecordTitleAndTextAndItsEndCodeComesBack) {
    LibraryBesideProgram library("probe");
    ASSERT_TRUE(library.Copied());
    // Held here too, so that its record outlives the box's own loading and freeing.
    HMODULE hProbe = LoadLibraryA(library.Path().c_str());
    ASSERT_TRUE(hProbe);
    auto pLastCall = reinterpret_cast<XPMessageBoxLastCallFn>(
        reinterpret_cast<void*>(GetProcAddress(hProbe, XPMB_PROBE_LAST_CALL)));
    auto pSetResult = reinterpret_cast<XPMessageBoxSetResultFn>(
        reinterpret_cast<void*>(GetProcAddress(hProbe, XPMB_PROBE_SET_RESULT)));
    pSetResult(IDNO);

    const int result =
        ShowMessageBox(nullptr, ui_text::kNoType, "unused caption", MB_YESNO | MB_ICONQUESTION);
    const XPMessageBoxCall call = *pLastCall();
    FreeLibrary(hProbe);

    EXPECT_EQ(result, IDNO);
    EXPECT_EQ(call.nCalls, 1);
    EXPECT_EQ(call.nConfigCalls, 1);
    EXPECT_EQ(RecordText(call, 5720), L"\u786E\u5B9A");  // 4102
    EXPECT_EQ(RecordText(call, 520), L"\u53D6\u6D88");   // 4103
    EXPECT_EQ(RecordText(call, 8840), L"\u662F");        // 4109
    EXPECT_EQ(RecordText(call, 4680), L"\u5426");        // 4110
    EXPECT_EQ(std::wstring(call.title), L"\u767B\u5F55\u52A9\u624B 2.1");
    EXPECT_EQ(std::wstring(call.text), L"\u8BF7\u9009\u62E9\u4EE3\u7406\u7C7B\u578B");
    EXPECT_EQ(call.nType, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
}

TEST_F(MessageBoxTest, WithoutTheHostLibraryTheSystemBoxShowsTheCallersCaption) {
    std::vector<std::string> texts;
    DialogRun run =
        RunModal([] { return ShowMessageBox(nullptr, "the text", "the caption", MB_OKCANCEL); },
                 [&](UiWatch&, DialogControl& box) {
                     texts = WindowTexts(box.Handle());
                     PostMessageA(box.Handle(), WM_COMMAND, IDCANCEL, 0);
                 });

    ASSERT_TRUE(run.bOpened);
    EXPECT_EQ(run.result, IDCANCEL);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], "the caption");
    EXPECT_NE(std::find(texts.begin(), texts.end(), "the text"), texts.end());
}

TEST_F(MessageBoxTest, HostLibraryWithoutCreateInstanceShowsNothing) {
    LibraryBesideProgram library("bare");
    ASSERT_TRUE(library.Copied());
    DialogRun run = RunModal([] { return ShowMessageBox(nullptr, "text", "caption", MB_OK); },
                             [](UiWatch&, DialogControl&) {});
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(run.bOpened);
}

TEST_F(MessageBoxTest, SkinColourIsReadFromTheActiveSkinLibrary) {
    struct Case {
        const char* skin;
        COLORREF expected;
    };
    const Case cases[] = {
        {"skin\\TestSkin24.dll", 0x000080FF},  // "255 128 0"
        {"skin\\TestSkin8.dll", 0x000000FF},   // "255"
        {"skin\\TestSkinPlain.dll", 0},        // ""
        {"skin\\NoSuchSkin.dll", 0},           // no library
    };
    for (const Case& c : cases) {
        host.setting.Sys("SKIN", "ACTIVE", c.skin);
        EXPECT_EQ(GetSkinColor(7191), c.expected) << c.skin;
    }
    EXPECT_EQ(GetActiveSkinPath(), ProgramDirectory() + "skin\\NoSuchSkin.dll");

    SetMessageBoxContainer(nullptr);
    EXPECT_EQ(GetActiveSkinPath(), "");
    EXPECT_EQ(GetSkinColor(7191), 0u);
}

}  // namespace

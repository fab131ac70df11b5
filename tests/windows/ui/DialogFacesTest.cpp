// The Windows face against the table both faces share: the same acts of the user end the dialog
// with the same code and store the same settings as the Linux dialog program does.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "SettingUIImpl.h"
#include "UiDriver.h"
#include "UiHost.h"
#include "platform/module.h"

namespace {

enum Control { kType = 4000, kAddress, kPort, kUser, kPassword, kClose = 4011 };

std::string Trim(const std::string& text) {
    const size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) return {};
    return text.substr(start, text.find_last_not_of(' ') - start + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, separator)) parts.push_back(Trim(part));
    return parts;
}

struct FaceCase {
    std::string line;
    std::vector<std::string> stored, acts;
    long long end = 0;
    std::string writes;
};

std::vector<FaceCase> ReadCases() {
    std::ifstream in(SETTING_FACES_TABLE);
    std::vector<FaceCase> cases;
    std::string line;
    while (std::getline(in, line)) {
        if (Trim(line).empty() || Trim(line)[0] == '#') continue;
        const std::vector<std::string> columns = Split(line + " ", '|');
        FaceCase c;
        c.line = line;
        c.stored = Split(columns.at(0), ',');
        c.acts = Split(columns.at(1), ';');
        c.end = std::stoll(columns.at(2));
        c.writes = columns.size() > 3 ? columns[3] : "";
        cases.push_back(c);
    }
    return cases;
}

// The fake host's writes as the table spells them: without the section, the password starred
// once it is seen enciphered.
std::string AsTable(const std::string& writes) {
    std::string out;
    for (const std::string& write : Split(writes, ' ')) {
        std::string entry = write.substr(write.find('/') + 1);
        if (entry.compare(0, 9, "PASSWORD=") == 0 && entry.compare(9, 4, "ENC:") == 0)
            entry = "PASSWORD=*";
        out += (out.empty() ? "" : " ") + entry;
    }
    return out;
}

void Act(DialogControl& dialog, const std::string& act, UiHost& host) {
    const std::vector<std::string> words = Split(act, ' ');
    const int fields[] = {kAddress, kPort, kUser, kPassword};
    const char* names[] = {"address", "port", "user", "password"};
    if (words[0] == "select") {
        dialog.Select(kType, std::stoi(words.at(1)));
    } else if (words[0] == "set") {
        for (int i = 0; i < 4; ++i)
            if (words.at(1) == names[i]) {
                dialog.Send(fields[i], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
                dialog.Type(fields[i], words.size() > 2 ? words[2] : "");
            }
    } else if (words[0] == "ok" || words[0] == "cancel" || words[0] == "close") {
        dialog.Click(words[0] == "ok" ? IDOK : words[0] == "cancel" ? IDCANCEL : kClose);
    } else if (words[0] == "message-ok") {
        // No message-box library beside the program: the system's box, with the host's texts.
        HWND hBox = dialog.NextDialog();
        ASSERT_TRUE(hBox);
        EXPECT_EQ(WindowText(hBox), host.strings.GetString(2000));
        EXPECT_EQ(WindowText(GetDlgItem(hBox, 0xFFFF)), host.strings.GetString(7001));
        PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    } else {
        FAIL() << "unknown act " << act;
    }
}

TEST(DialogFacesTest, TheSharedTableEndsAndStoresOnWindowsAsItSays) {
    SetLibraryModuleHandle(GetModuleHandleA(nullptr));
    const std::vector<FaceCase> cases = ReadCases();
    ASSERT_GE(cases.size(), 5u) << SETTING_FACES_TABLE;
    for (const FaceCase& c : cases) {
        SCOPED_TRACE(c.line);
        UiHost host;
        const char* keys[] = {"TYPE", "ADDRESS", "PORT", "USER", "PASSWORD"};
        for (int i = 0; i < 5; ++i)
            host.setting.User("PROXY", keys[i],
                              i == 4 ? host.crypt.Encrypt(c.stored.at(i)) : c.stored.at(i));
        CSettingUIImpl ui(&host.container);
        const DialogRun run =
            RunModal([&] { return static_cast<long long>(ui.ShowSettingDialog()); },
                     [&](DialogControl& dialog) {
                         for (const std::string& act : c.acts) Act(dialog, act, host);
                     });
        EXPECT_EQ(run.result, c.end);
        EXPECT_EQ(AsTable(host.setting.TakeUserWrites()), c.writes);
    }
}

}  // namespace

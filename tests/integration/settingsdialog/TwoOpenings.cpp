// A host that opens the settings dialog and, while it is open, opens it again from another
// thread, as a second menu click would: the settings dialog test drives it through stdin and
// stdout. Prints "open" once the first opening runs, "second N" after the second call and
// "first N" when the first opening ends.
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "FakeHost.h"
#include "SettingUIImpl.h"

int main() {
    FakeHost host;
    host.setting.Sys("SKIN", "ACTIVE", "skin/default");
    host.strings.Set(11003, "\xB5\xC7\xC2\xBC\xC9\xE8\xD6\xC3");  // "登录设置" (login settings)
    host.strings.Set(2002, "\xC8\xA1\xCF\xFB");                   // "取消" (Cancel)
    host.setting.User("PROXY", "TYPE", "1");
    CSettingUIImpl ui(&host.container);
    int32_t first = 0;
    std::thread opener([&] { first = ui.ShowSettingDialog(); });
    std::cout << "open" << std::endl;
    std::string line;
    if (!std::getline(std::cin, line)) return 2;  // the test has seen the dialog
    std::cout << "second " << ui.ShowSettingDialog() << std::endl;
    opener.join();
    std::cout << "first " << first << std::endl;
    return 0;
}

// 32-bit and 64-bit programs see one current user's registry: WoW64 gives a 32-bit program a view
// of its own of HKEY_LOCAL_MACHINE\Software, but not of the keys the plug-in uses, which all lie
// under HKEY_CURRENT_USER. A 32-bit host and a 64-bit one thus share the default identity and
// the browser's proxy. The tests write and read through each view explicitly.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "ManualClock.h"
#include "ProxyInfoImpl.h"
#include "RegistrySandbox.h"

namespace {

const char* const kVelko = "Software\\Mirolan\\Velko";
const char* const kSettings = "Software\\Mirolan\\Velko\\Settings";
const char* const kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

struct View {
    const char* name;
    REGSAM flag;
};
constexpr View kViews[] = {{"32-bit view", KEY_WOW64_32KEY}, {"64-bit view", KEY_WOW64_64KEY}};

std::string Read(HKEY root, const std::string& path, const std::string& name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return "<no key>";
    char data[256] = {};
    DWORD size = sizeof data - 1;
    const LONG rc =
        RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string(data) : "<none>";
}

void Write(HKEY root, const std::string& path, const std::string& name, const std::string& value,
           REGSAM view) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

TEST(RegistryViewTest, ProgramsRunInTheirOwnViewOfTheMachinesSoftwareKey) {
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
#ifdef _WIN64
    EXPECT_FALSE(wow64);
#else
    EXPECT_TRUE(wow64) << "the 32-bit programs run in a 64-bit prefix, as on 64-bit Windows";
#endif
    // The views are real: what one writes under the machine's software key the other lacks.
    const std::string key = SANDBOX_TEST_KEY;
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_32KEY, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_64KEY, 0);
    Write(HKEY_LOCAL_MACHINE, key, "Arch", "32", KEY_WOW64_32KEY);
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, key, "Arch", KEY_WOW64_64KEY), "<no key>");
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, key, "Arch", KEY_WOW64_32KEY), "32");
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_32KEY, 0);
}

TEST(RegistryViewTest, TheDefaultIdentityIsOneForBothViews) {
    RegistrySandbox sandbox;
    sandbox.CreateKey(kVelko);
    FakeHost host;
    LoginEnvironment env;
    env.clock = std::make_shared<ManualClock>(1700000000);
    CLoginImpl login{&host.container, env};
    const std::string identity = login.GetDefaultIMSI();
    ASSERT_EQ(identity.size(), 15u);
    for (const View& view : kViews)
        EXPECT_EQ(Read(HKEY_CURRENT_USER, kSettings, "DefaultIMSI", view.flag), identity.substr(1))
            << view.name;

    // One stored by a program of either architecture is the one read.
    for (const View& view : kViews) {
        const std::string stored =
            view.flag == KEY_WOW64_32KEY ? "32320102030405" : "64640102030405";
        Write(HKEY_CURRENT_USER, kSettings, "DefaultIMSI", stored, view.flag);
        EXPECT_EQ(login.GetDefaultIMSI(), "9" + stored) << view.name;
    }
}

TEST(RegistryViewTest, TheBrowsersProxyIsOneForBothViews) {
    RegistrySandbox sandbox;
    FakeHost host;
    host.setting.User("PROXY", "TYPE", "2");
    CProxyInfoImpl proxy{&host.container};
    EXPECT_EQ(proxy.GetProxyAddress(), "");  // no browser value yet
    for (const View& view : kViews) {
        const std::string port = view.flag == KEY_WOW64_32KEY ? "3232" : "6464";
        Write(HKEY_CURRENT_USER, kInternetSettings, "ProxyServer", "proxy.test:" + port, view.flag);
        EXPECT_EQ(proxy.GetProxyAddress(), "proxy.test") << view.name;
        EXPECT_EQ(proxy.GetProxyPort(), port) << view.name;
    }
}

}  // namespace

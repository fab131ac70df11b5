// The settings dialog program is the one beside the plug-in library, found by the library's own
// absolute path: a host that loaded the library by a relative path and then changed its working
// directory (as desktop hosts do) must not start a program of that directory's choosing.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FakeHost.h"
#include "IBasePlugin.h"
#include "ISettingUI.h"
#include "TempDir.h"

namespace {

// A dialog program that notes its name in the marker file and answers Cancel.
void WriteDialogProgram(const std::string& path, const std::string& name,
                        const std::string& marker) {
    std::ofstream out(path);
    out << "#!/bin/sh\n"
        << "echo " << name << " >>'" << marker << "'\n"
        << "while IFS= read -r line; do [ \"$line\" = show ] && break; done\n"
        << "printf 'cancel\\n'\n"
        << "while IFS= read -r line; do case \"$line\" in end*) exit 0 ;; esac; done\n";
    out.close();
    chmod(path.c_str(), 0755);
}

TEST(SettingHelperPlace, TheDialogProgramBesideTheLibraryWhateverTheWorkingDirectory) {
    TempDir dir;
    const std::string marker = dir.File("started");
    for (const char* place : {"loaded/lib", "later/lib"})
        std::filesystem::create_directories(dir.File(place));
    std::filesystem::copy_file(LOGIN_PLUGIN_LIBRARY, dir.File("loaded/lib/libLoginPlugin.so"));
    WriteDialogProgram(dir.File("loaded/lib/loginplugin-settings"), "beside", marker);
    WriteDialogProgram(dir.File("later/lib/loginplugin-settings"), "elsewhere", marker);

    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.File("loaded"));
    void* library = dlopen("lib/libLoginPlugin.so", RTLD_NOW | RTLD_LOCAL);
    std::filesystem::current_path(dir.File("later"));
    ASSERT_NE(library, nullptr) << dlerror();
    auto create = reinterpret_cast<IBasePlugin* (*)()>(dlsym(library, "CreatePlugin"));
    ASSERT_NE(create, nullptr);

    FakeHost host;
    IBasePlugin* plugin = create();
    plugin->SetPluginContainer(&host.container);
    IBaseInterface* pInterface = nullptr;
    ASSERT_TRUE(plugin->QueryInterface(20498, &pInterface));
    EXPECT_EQ(static_cast<ISettingUI*>(pInterface)->ShowSettingDialog(), 2);
    plugin->Release();
    std::filesystem::current_path(before);

    std::ifstream in(marker);
    std::stringstream started;
    started << in.rdbuf();
    EXPECT_EQ(started.str(), "beside\n");
}

}  // namespace

// The dialog as a host opens it: through the plug-in library and its settings-UI interface, with
// the template taken from the library's own resources.
#include <gtest/gtest.h>

#include "IBasePlugin.h"
#include "ISettingUI.h"
#include "PluginIds.h"
#include "UiDriver.h"
#include "UiFakeHost.h"

namespace {

TEST(PluginDialogTest, SettingsInterfaceOpensTheDialogFromTheLibrary) {
    HMODULE hPlugin = LoadLibraryA((ProgramDirectory() + "LoginPlugin.dll").c_str());
    ASSERT_TRUE(hPlugin);
    auto pCreate = reinterpret_cast<CreatePluginFn>(
        reinterpret_cast<void*>(GetProcAddress(hPlugin, LOGIN_CREATE_PLUGIN_EXPORT)));
    ASSERT_TRUE(pCreate);
    UiFakeHost host;
    IBasePlugin* pPlugin = pCreate();
    pPlugin->SetPluginContainer(&host.container);
    IBaseInterface* pInterface = nullptr;
    ASSERT_TRUE(pPlugin->QueryInterface(IID_SETTING_UI, &pInterface));
    auto* pSettingUI = dynamic_cast<ISettingUI*>(pInterface);
    ASSERT_TRUE(pSettingUI);

    std::string caption;
    size_t listeners = 0;
    DialogRun run =
        RunModal([&] { return static_cast<long long>(pSettingUI->ShowSettingDialog()); },
                 [&](UiWatch&, DialogControl& dialog) {
                     caption = dialog.Caption();
                     listeners = host.login.Handlers().size();
                     dialog.Click(IDCANCEL);
                 });
    pPlugin->Release();
    FreeLibrary(hPlugin);

    EXPECT_EQ(run.result, IDCANCEL);
    EXPECT_EQ(caption, ui_text::kTitle);
    EXPECT_EQ(listeners, 1u);
}

}  // namespace

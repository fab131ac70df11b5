// The skinned dialog base on its own: the window's shape from the skin, listener registration and
// reloads.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "UiDriver.h"
#include "UiHost.h"
#include "global/BaseSubDlg.h"
#include "libs/norvacontrol/SkinRegion.h"
#include "libs/trace/TraceCapture.h"

namespace {

constexpr COLORREF kGreen = RGB(0, 255, 0);

// Any template does; the settings dialog's is linked into the test program.
struct TestSubDlg : CBaseSubDlg {
    TestSubDlg() : CBaseSubDlg(4000) {}
    void LoadSkin() override {
        ++nLoads;
        if (hSkin) LoadSkinBitmap(hSkin, 7089, kGreen);
    }
    HINSTANCE hSkin = nullptr;
    int nLoads = 0;
};

struct RegionDeleter {
    void operator()(HRGN hRegion) const { DeleteObject(hRegion); }
};
using Region = std::unique_ptr<std::remove_pointer_t<HRGN>, RegionDeleter>;

Region WindowRegion(HWND hWnd) {
    Region region(CreateRectRgn(0, 0, 0, 0));
    GetWindowRgn(hWnd, region.get());
    return region;
}

// The per-pixel region of bitmap 7089 of the library, the way GetPixel sees it.
Region ReferenceRegion(HMODULE hSkin) {
    auto hBitmap = static_cast<HBITMAP>(
        LoadImageA(hSkin, MAKEINTRESOURCEA(7089), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP bm{};
    GetObjectA(hBitmap, sizeof(bm), &bm);
    HDC hdc = CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = SelectObject(hdc, hBitmap);
    Region region(CreateRegionPerPixel(hdc, bm.bmWidth, bm.bmHeight, kGreen));
    SelectObject(hdc, hOld);
    DeleteDC(hdc);
    DeleteObject(hBitmap);
    return region;
}

class BaseSubDlgTest : public ::testing::Test {
protected:
    // A modeless, hidden dialog with the skin loaded.
    HWND Make(TestSubDlg& dlg, const char* skin) {
        dlg.SetPluginContainer(&host.container);
        // The skin libraries stay loaded for the rest of the program.
        dlg.hSkin = LoadLibraryA((ProgramDirectory() + "skin\\" + skin).c_str());
        if (!dlg.Create()) return nullptr;
        dlg.LoadSkin();
        return dlg.GetSafeHwnd();
    }
    UiHost host;
};

TEST_F(BaseSubDlgTest, WindowShapeIsTheSkinLessItsTransparentPixelsAtEitherDepth) {
    TestSubDlg dlg24, dlg8, plain;
    ASSERT_TRUE(Make(dlg24, "TestSkin24.dll") && Make(dlg8, "TestSkin8.dll") &&
                Make(plain, "TestSkinPlain.dll"));
    Region region24 = WindowRegion(dlg24.GetSafeHwnd());
    Region region8 = WindowRegion(dlg8.GetSafeHwnd());

    EXPECT_TRUE(EqualRgn(region24.get(), ReferenceRegion(dlg24.hSkin).get()));
    EXPECT_TRUE(EqualRgn(region8.get(), ReferenceRegion(dlg8.hSkin).get()));
    EXPECT_TRUE(EqualRgn(region8.get(), region24.get()));
    // Rows are stored bottom-up: the last row and column are cut where the picture says so. Near
    // green (101, 60) is not green; the corner (0, 0) is rounded.
    for (POINT p : {POINT{199, 119}, {120, 119}, {199, 40}, {0, 60}, {100, 60}, {0, 0}})
        EXPECT_FALSE(PtInRegion(region24.get(), p.x, p.y)) << p.x << "," << p.y;
    for (POINT p : {POINT{119, 119}, {199, 39}, {101, 60}})
        EXPECT_TRUE(PtInRegion(region24.get(), p.x, p.y)) << p.x << "," << p.y;
    // Without a transparent pixel the shape is the picture's rectangle.
    EXPECT_TRUE(EqualRgn(WindowRegion(plain.GetSafeHwnd()).get(),
                         Region(CreateRectRgn(0, 0, 64, 32)).get()));
}

TEST_F(BaseSubDlgTest, ListensWhileTheWindowLivesAndReloadsAHiddenWindowHidden) {
    UiWatch watch;
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkin24.dll");
    ASSERT_TRUE(hWnd);
    EXPECT_EQ(host.login.Handlers(), (std::vector<ISkinControlEvent*>{&dlg}));
    SkinChangeInfo info{};
    EXPECT_TRUE(dlg.OnSkinChange(&info));
    EXPECT_EQ(dlg.nLoads, 1);  // posted: nothing happens on the caller's side
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_EQ(dlg.nLoads, 2);
    EXPECT_TRUE(watch.ShowHistory(hWnd).empty());

    DestroyWindow(hWnd);
    EXPECT_TRUE(host.login.Handlers().empty());
    EXPECT_EQ(host.login.Releases(), 2);  // the login object, after each use
}

TEST_F(BaseSubDlgTest, WithoutTheLoginObjectTheDialogWorksAndTheWithdrawalIsTraced) {
    TraceCapture trace;
    host.container.Withdraw(PLUGIN_ID_LOGIN, IID_LOGIN);
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkin24.dll");
    ASSERT_TRUE(hWnd);
    EXPECT_TRUE(dlg.HasBackground());
    EXPECT_TRUE(trace.Records().empty());  // registering fails silently
    DestroyWindow(hWnd);

    TraceRecord record = trace.Find("LEAVE UnregisterSkinNotify()");
    EXPECT_EQ(std::make_tuple(record.level, record.module, record.source),
              std::make_tuple(1, std::string("CBaseSubDlg"), std::string("global\\BaseSubDlg")));
}

}  // namespace

// The skinned dialog base on its own: the window's shape from the skin, its decorations, listener
// registration and reloads.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "UiDriver.h"
#include "UiFakeHost.h"
#include "global/BaseSubDlg.h"
#include "libs/norvacontrol/SkinRegion.h"
#include "libs/trace/TraceCapture.h"

namespace {

constexpr COLORREF kGreen = RGB(0, 255, 0);

// Any template does; the settings dialog's is linked into the test program.
struct TestSubDlg : CBaseSubDlg {
    TestSubDlg() : CBaseSubDlg(4000) {}
    using CBaseSubDlg::LoadSkinBitmap;
    using CBaseSubDlg::SetCloseButton;
    using CBaseSubDlg::SetCloseTip;
    using CBaseSubDlg::SetTitle;
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

Region WindowRegion(HWND hWnd, int* pType) {
    Region region(CreateRectRgn(0, 0, 0, 0));
    *pType = GetWindowRgn(hWnd, region.get());
    return region;
}

std::tuple<LONG, LONG, LONG, LONG> BoxOf(HRGN hRegion) {
    RECT box{};
    GetRgnBox(hRegion, &box);
    return {box.left, box.top, box.right, box.bottom};
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

// The skin libraries stay loaded for the rest of the program.
HMODULE Skin(const char* name) {
    return LoadLibraryA((ProgramDirectory() + "skin\\" + name).c_str());
}

class BaseSubDlgTest : public ::testing::Test {
protected:
    // A modeless, hidden dialog with the skin loaded.
    HWND Make(TestSubDlg& dlg, const char* skin) {
        dlg.SetPluginContainer(&host);
        dlg.hSkin = skin ? Skin(skin) : nullptr;
        if (!dlg.Create()) return nullptr;
        dlg.LoadSkin();
        return dlg.GetSafeHwnd();
    }
    UiFakeHost host;
};

TEST_F(BaseSubDlgTest, WindowShapeIsTheSkinLessItsTransparentPixelsAtEitherDepth) {
    TestSubDlg dlg24, dlg8, plain;
    HWND h24 = Make(dlg24, "TestSkin24.dll");
    HWND h8 = Make(dlg8, "TestSkin8.dll");
    HWND hPlain = Make(plain, "TestSkinPlain.dll");
    ASSERT_TRUE(h24 && h8 && hPlain);
    int type24 = ERROR, type8 = ERROR, typePlain = ERROR;
    Region region24 = WindowRegion(h24, &type24);
    Region region8 = WindowRegion(h8, &type8);
    Region regionPlain = WindowRegion(hPlain, &typePlain);

    EXPECT_EQ(type24, COMPLEXREGION);
    EXPECT_TRUE(EqualRgn(region24.get(), ReferenceRegion(dlg24.hSkin).get()));
    EXPECT_TRUE(EqualRgn(region8.get(), ReferenceRegion(dlg8.hSkin).get()));
    EXPECT_TRUE(EqualRgn(region8.get(), region24.get()));
    EXPECT_EQ(BoxOf(region24.get()), std::make_tuple(0L, 0L, 200L, 120L));
    // Rows are stored bottom-up: the last row and column are cut where the picture says so.
    const struct {
        int x, y;
        bool inside;
    } points[] = {{199, 119, false}, {120, 119, false}, {119, 119, true},
                  {199, 40, false},  {199, 39, true},   {0, 60, false},
                  {100, 60, false},  {101, 60, true},  // near green is not green
                  {0, 0, false}};                      // rounded corner
    for (const auto& p : points)
        EXPECT_EQ(PtInRegion(region24.get(), p.x, p.y) != FALSE, p.inside) << p.x << "," << p.y;
    // Without a transparent pixel the shape is the picture's rectangle.
    EXPECT_EQ(typePlain, SIMPLEREGION);
    EXPECT_EQ(BoxOf(regionPlain.get()), std::make_tuple(0L, 0L, 64L, 32L));
}

TEST_F(BaseSubDlgTest, MissingSkinBitmapLeavesNoBackgroundAndRefusesTheDecorations) {
    TestSubDlg dlg;
    ASSERT_TRUE(Make(dlg, nullptr));
    HMODULE hSkin = Skin("TestSkin24.dll");

    EXPECT_FALSE(dlg.LoadSkinBitmap(nullptr, 7089, kGreen));
    EXPECT_FALSE(dlg.LoadSkinBitmap(hSkin, 4321, kGreen));
    EXPECT_FALSE(dlg.HasBackground());
    EXPECT_FALSE(dlg.SetCloseButton(hSkin, 4011, "close"));
    EXPECT_FALSE(dlg.SetTitle(4012, "title"));
    EXPECT_TRUE(dlg.SetCloseTip("tip"));
    // A good load after a failed one brings everything back; the attached tip is then fixed.
    EXPECT_TRUE(dlg.LoadSkinBitmap(hSkin, 7089, kGreen));
    EXPECT_TRUE(dlg.SetCloseButton(hSkin, 4011, "close"));
    EXPECT_FALSE(dlg.SetCloseTip("tip"));
}

TEST_F(BaseSubDlgTest, ListensWhileTheWindowLivesAndReloadsKeepingItHiddenOrShown) {
    UiWatch watch;
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkin24.dll");
    ASSERT_TRUE(hWnd);
    EXPECT_EQ(host.Handlers(), (std::vector<ISkinControlEvent*>{&dlg}));
    const int loads = dlg.nLoads;
    MSG msg;
    for (bool shown : {false, true}) {
        SCOPED_TRACE(shown);
        if (shown) ShowWindow(hWnd, SW_SHOW);
        SkinChangeInfo info{};
        EXPECT_TRUE(dlg.OnSkinChange(&info));
        EXPECT_EQ(dlg.nLoads, loads + shown);  // posted: nothing happens on the caller's side
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        EXPECT_EQ(dlg.nLoads, loads + shown + 1);
        EXPECT_EQ(IsWindowVisible(hWnd) != FALSE, shown);
    }
    // Never shown while hidden; hidden for the reload and shown again while shown.
    EXPECT_EQ(watch.ShowHistory(hWnd), (std::vector<int>{1, -1, 1}));

    DestroyWindow(hWnd);
    EXPECT_TRUE(host.Handlers().empty());
    EXPECT_EQ(host.Releases(), 2);
}

TEST_F(BaseSubDlgTest, WithoutTheLoginObjectTheDialogWorksAndTheWithdrawalIsTraced) {
    TraceCapture trace;
    host.Refuse(PLUGIN_ID_LOGIN, IID_LOGIN);
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

// The skinned dialog base on its own: the window's shape from the skin, its decorations, dragging,
// listener registration and reloads.
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
class TestSubDlg : public CBaseSubDlg {
public:
    TestSubDlg() : CBaseSubDlg(4000) {}
    using CBaseSubDlg::LoadSkinBitmap;
    using CBaseSubDlg::SetCloseButton;
    using CBaseSubDlg::SetCloseTip;
    using CBaseSubDlg::SetDragAnywhere;
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

// Runs what the dialog posted to itself.
void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

class BaseSubDlgTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HMODULE h : m_libraries) FreeLibrary(h);
    }
    HMODULE Skin(const char* name) {
        m_libraries.push_back(LoadLibraryA((ProgramDirectory() + "skin\\" + name).c_str()));
        return m_libraries.back();
    }
    // A modeless, hidden dialog with the skin loaded.
    HWND Make(TestSubDlg& dlg, const char* skin) {
        dlg.SetPluginContainer(&host.container);
        if (skin) dlg.hSkin = Skin(skin);
        if (!dlg.Create()) return nullptr;
        dlg.LoadSkin();
        return dlg.GetSafeHwnd();
    }
    UiFakeHost host;
    std::vector<HMODULE> m_libraries;
};

TEST_F(BaseSubDlgTest, WindowShapeIsTheSkinLessItsTransparentPixelsAtEitherDepth) {
    TestSubDlg dlg24, dlg8;
    HWND h24 = Make(dlg24, "TestSkin24.dll");
    HWND h8 = Make(dlg8, "TestSkin8.dll");
    ASSERT_TRUE(h24 && h8);
    int type24 = ERROR, type8 = ERROR;
    Region region24 = WindowRegion(h24, &type24);
    Region region8 = WindowRegion(h8, &type8);

    EXPECT_EQ(type24, COMPLEXREGION);
    EXPECT_TRUE(EqualRgn(region24.get(), ReferenceRegion(dlg24.hSkin).get()));
    EXPECT_TRUE(EqualRgn(region8.get(), ReferenceRegion(dlg8.hSkin).get()));
    EXPECT_TRUE(EqualRgn(region8.get(), region24.get()));
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
    RECT box{};
    GetRgnBox(region24.get(), &box);
    EXPECT_EQ(std::make_tuple(box.right, box.bottom), std::make_tuple(200L, 120L));
}

TEST_F(BaseSubDlgTest, SkinWithoutTransparentPixelsGivesItsRectangle) {
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkinPlain.dll");
    ASSERT_TRUE(hWnd);
    int type = ERROR;
    Region region = WindowRegion(hWnd, &type);
    RECT box{}, window{};
    GetRgnBox(region.get(), &box);
    GetWindowRect(hWnd, &window);

    EXPECT_EQ(type, SIMPLEREGION);
    EXPECT_EQ(std::make_tuple(box.left, box.top, box.right, box.bottom),
              std::make_tuple(0L, 0L, 64L, 32L));
    EXPECT_EQ(std::make_tuple(window.right - window.left, window.bottom - window.top),
              std::make_tuple(64L, 32L));
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

TEST_F(BaseSubDlgTest, DragAnywhereMakesTheSurfaceACaption) {
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkin24.dll");
    ASSERT_TRUE(hWnd);
    POINT surface{3, 60};
    ClientToScreen(hWnd, &surface);
    const LPARAM at = MAKELPARAM(surface.x, surface.y);

    EXPECT_EQ(SendMessageA(hWnd, WM_NCHITTEST, 0, at), HTCLIENT);
    dlg.SetDragAnywhere(TRUE);
    EXPECT_EQ(SendMessageA(hWnd, WM_NCHITTEST, 0, at), HTCAPTION);
}

TEST_F(BaseSubDlgTest, ListensWhileTheWindowLivesAndReloadsKeepingItHiddenOrShown) {
    UiWatch watch;
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkin24.dll");
    ASSERT_TRUE(hWnd);
    EXPECT_EQ(host.login.Handlers(), (std::vector<ISkinControlEvent*>{&dlg}));
    const int loads = dlg.nLoads;
    SkinChangeInfo info{};

    EXPECT_TRUE(dlg.OnSkinChange(&info));
    EXPECT_EQ(dlg.nLoads, loads);  // posted: nothing happens on the caller's side
    Pump();
    EXPECT_EQ(dlg.nLoads, loads + 1);
    EXPECT_FALSE(IsWindowVisible(hWnd));
    EXPECT_TRUE(watch.ShowHistory(hWnd).empty());

    ShowWindow(hWnd, SW_SHOW);
    dlg.OnSkinChange(&info);
    Pump();
    EXPECT_EQ(dlg.nLoads, loads + 2);
    EXPECT_TRUE(IsWindowVisible(hWnd));
    EXPECT_EQ(watch.ShowHistory(hWnd), (std::vector<int>{1, -1, 1}));

    DestroyWindow(hWnd);
    EXPECT_TRUE(host.login.Handlers().empty());
    EXPECT_EQ(host.login.Releases(), 2);
}

TEST_F(BaseSubDlgTest, WithoutTheLoginObjectTheDialogWorksAndTheWithdrawalIsTraced) {
    TraceCapture trace;
    host.container.Refuse(PLUGIN_ID_LOGIN, IID_LOGIN);
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkin24.dll");
    ASSERT_TRUE(hWnd);
    EXPECT_TRUE(dlg.HasBackground());
    EXPECT_TRUE(trace.Records().empty());  // registering fails silently
    DestroyWindow(hWnd);

    TraceRecord record = trace.Find("LEAVE UnregisterSkinNotify()");
    EXPECT_EQ(record.level, 1);
    EXPECT_EQ(record.module, "CBaseSubDlg");
    EXPECT_EQ(record.source, "global\\BaseSubDlg");
}

}  // namespace

// The skinned dialog base on its own: the window's shape from the skin, the close button and title,
// dragging, listener registration and reloads.
#include <gtest/gtest.h>

#include "UiDriver.h"
#include "UiFakeHost.h"
#include "global/BaseSubDlg.h"
#include "libs/norvacontrol/SkinRegion.h"
#include "libs/trace/TraceCapture.h"
#include "PluginIds.h"

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
        if (!hSkin) return;
        LoadSkinBitmap(hSkin, 7089, kGreen);
        SetCloseButton(hSkin, 4011, "close");
        SetTitle(4012, "title");
    }

    HINSTANCE hSkin = nullptr;
    int nLoads = 0;
};

// Runs what the dialog posted to itself.
void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HMODULE LoadSkinLibrary(const char* name) {
    return LoadLibraryA((ProgramDirectory() + "skin\\" + name).c_str());
}

// The per-pixel region of bitmap 7089 of the library, the way GetPixel sees it.
HRGN ReferenceRegion(HMODULE hSkin) {
    auto hBitmap = static_cast<HBITMAP>(
        LoadImageA(hSkin, MAKEINTRESOURCEA(7089), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP bm{};
    GetObjectA(hBitmap, sizeof(bm), &bm);
    HDC hdc = CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = SelectObject(hdc, hBitmap);
    HRGN hRegion = CreateRegionPerPixel(hdc, bm.bmWidth, bm.bmHeight, kGreen);
    SelectObject(hdc, hOld);
    DeleteDC(hdc);
    DeleteObject(hBitmap);
    return hRegion;
}

class BaseSubDlgTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HMODULE h : m_libraries) FreeLibrary(h);
    }

    // A modeless, hidden dialog with the skin loaded.
    HWND Make(TestSubDlg& dlg, const char* skin) {
        dlg.SetPluginContainer(&host.container);
        if (skin) {
            dlg.hSkin = LoadSkinLibrary(skin);
            m_libraries.push_back(dlg.hSkin);
        }
        if (!dlg.Create()) return nullptr;
        dlg.LoadSkin();
        return dlg.GetSafeHwnd();
    }

    HRGN WindowRegion(HWND hWnd) {
        HRGN hRegion = CreateRectRgn(0, 0, 0, 0);
        m_regionType = GetWindowRgn(hWnd, hRegion);
        return hRegion;
    }

    UiFakeHost host;
    int m_regionType = ERROR;
    std::vector<HMODULE> m_libraries;
};

TEST_F(BaseSubDlgTest, WindowShapeIsTheSkinLessItsTransparentPixels) {
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkin24.dll");
    ASSERT_TRUE(hWnd);
    ASSERT_TRUE(dlg.HasBackground());
    HRGN hRegion = WindowRegion(hWnd);
    HRGN hReference = ReferenceRegion(dlg.hSkin);

    EXPECT_EQ(m_regionType, COMPLEXREGION);
    EXPECT_TRUE(EqualRgn(hRegion, hReference));
    // Rows are stored bottom-up: the last row and column are cut where the picture says so.
    EXPECT_FALSE(PtInRegion(hRegion, 199, 119));
    EXPECT_FALSE(PtInRegion(hRegion, 120, 119));
    EXPECT_TRUE(PtInRegion(hRegion, 119, 119));
    EXPECT_FALSE(PtInRegion(hRegion, 199, 40));
    EXPECT_TRUE(PtInRegion(hRegion, 199, 39));
    EXPECT_FALSE(PtInRegion(hRegion, 0, 60));
    EXPECT_FALSE(PtInRegion(hRegion, 100, 60));
    EXPECT_TRUE(PtInRegion(hRegion, 101, 60));  // near green is not green
    EXPECT_FALSE(PtInRegion(hRegion, 0, 0));    // rounded corner
    RECT box{};
    GetRgnBox(hRegion, &box);
    EXPECT_EQ(box.right, 200);
    EXPECT_EQ(box.bottom, 120);
    DeleteObject(hRegion);
    DeleteObject(hReference);
}

TEST_F(BaseSubDlgTest, EightBitSkinGivesTheSameShapeAsTwentyFourBit) {
    TestSubDlg dlg24, dlg8;
    HWND h24 = Make(dlg24, "TestSkin24.dll");
    HWND h8 = Make(dlg8, "TestSkin8.dll");
    ASSERT_TRUE(h24 && h8);
    HRGN hRegion24 = WindowRegion(h24);
    HRGN hRegion8 = WindowRegion(h8);
    HRGN hReference8 = ReferenceRegion(dlg8.hSkin);

    EXPECT_TRUE(EqualRgn(hRegion8, hRegion24));
    EXPECT_TRUE(EqualRgn(hRegion8, hReference8));
    DeleteObject(hRegion24);
    DeleteObject(hRegion8);
    DeleteObject(hReference8);
}

TEST_F(BaseSubDlgTest, SkinWithoutTransparentPixelsGivesItsRectangle) {
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkinPlain.dll");
    ASSERT_TRUE(hWnd);
    HRGN hRegion = WindowRegion(hWnd);
    RECT box{};
    GetRgnBox(hRegion, &box);
    RECT window{};
    GetWindowRect(hWnd, &window);

    EXPECT_EQ(m_regionType, SIMPLEREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 64);
    EXPECT_EQ(box.bottom, 32);
    EXPECT_EQ(window.right - window.left, 64);
    EXPECT_EQ(window.bottom - window.top, 32);
    DeleteObject(hRegion);
}

TEST_F(BaseSubDlgTest, CloseButtonAndTitleArePlacedFromTheSkinWidth) {
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkin24.dll");
    ASSERT_TRUE(hWnd);
    DialogControl dialog(hWnd);
    RECT close = dialog.ItemRect(4011);
    RECT title = dialog.ItemRect(4012);

    EXPECT_EQ(close.left, 177);
    EXPECT_EQ(close.top, 5);
    EXPECT_EQ(close.right, 177 + 18);
    EXPECT_EQ(close.bottom, 5 + 19);
    EXPECT_EQ(title.left, 30);
    EXPECT_EQ(title.top, 7);
    EXPECT_EQ(title.right, 30 + 150);
    EXPECT_EQ(title.bottom, 7 + 20);
    EXPECT_EQ(dialog.Caption(), "title");
    EXPECT_EQ(dialog.Text(4012), "title");
    EXPECT_TRUE(GetWindowLongA(dialog.Item(4012), GWL_STYLE) & SS_CENTER);
    // Attached: the tip can no longer be changed this way.
    EXPECT_FALSE(dlg.SetCloseTip("tip"));
}

TEST_F(BaseSubDlgTest, MissingSkinBitmapLeavesNoBackgroundAndRefusesTheDecorations) {
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, nullptr);
    ASSERT_TRUE(hWnd);
    HMODULE hSkin = LoadSkinLibrary("TestSkin24.dll");
    m_libraries.push_back(hSkin);

    EXPECT_FALSE(dlg.LoadSkinBitmap(nullptr, 7089, kGreen));
    EXPECT_FALSE(dlg.LoadSkinBitmap(hSkin, 4321, kGreen));
    EXPECT_FALSE(dlg.HasBackground());
    EXPECT_FALSE(dlg.SetCloseButton(hSkin, 4011, "close"));
    EXPECT_FALSE(dlg.SetTitle(4012, "title"));
    EXPECT_TRUE(dlg.SetCloseTip("tip"));
    // A good load after a failed one brings everything back.
    EXPECT_TRUE(dlg.LoadSkinBitmap(hSkin, 7089, kGreen));
    EXPECT_TRUE(dlg.SetCloseButton(hSkin, 4011, "close"));
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

TEST_F(BaseSubDlgTest, SkinChangeReloadsAndKeepsTheDialogHiddenOrShown) {
    UiWatch watch;
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkin24.dll");
    ASSERT_TRUE(hWnd);
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
}

TEST_F(BaseSubDlgTest, ListensToSkinChangesWhileTheWindowExists) {
    TestSubDlg dlg;
    HWND hWnd = Make(dlg, "TestSkin24.dll");
    ASSERT_TRUE(hWnd);
    EXPECT_EQ(host.login.Handlers(), (std::vector<ISkinControlEvent*>{&dlg}));
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

// Times building a skinned window's region for a 640 x 480 skin: the per-pixel way (GetPixel and
// one RGN_XOR per transparent pixel) against the runs of opaque pixels, and checks they agree.
// A measurement, not a test: region_timing [repeats]
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "libs/norvacontrol/SkinRegion.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr COLORREF kGreen = RGB(0, 255, 0);

struct Skin {
    const char* name;
    std::function<bool(int, int)> transparent;
};

// A 24-bit bottom-up DIB section of the shape.
HBITMAP Draw(const Skin& skin, void** ppBits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    HBITMAP hBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, ppBits, nullptr, 0);
    auto* pBits = static_cast<unsigned char*>(*ppBits);
    const int stride = (kWidth * 3 + 3) & ~3;
    for (int y = 0; y < kHeight; ++y) {
        unsigned char* pRow = pBits + static_cast<size_t>(kHeight - 1 - y) * stride;
        for (int x = 0; x < kWidth; ++x) {
            bool cut = skin.transparent(x, y);
            pRow[3 * x] = cut ? 0 : static_cast<unsigned char>(200 + (x % 50));
            pRow[3 * x + 1] = cut ? 255 : static_cast<unsigned char>(120 + (y % 100));
            pRow[3 * x + 2] = cut ? 0 : 60;
        }
    }
    return hBitmap;
}

double Milliseconds(const std::function<void()>& fn, int repeats) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i) fn();
    std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / repeats;
}

bool OutsideRoundedCorners(int x, int y, int radius) {
    int cx = x < radius ? radius : (x >= kWidth - radius ? kWidth - radius - 1 : x);
    int cy = y < radius ? radius : (y >= kHeight - radius ? kHeight - radius - 1 : y);
    double dx = x - cx, dy = y - cy;
    return dx * dx + dy * dy > double(radius) * radius;
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::atoi(argv[1]) : 5;
    const Skin skins[] = {
        {"rounded corners (r = 12)", [](int x, int y) { return OutsideRoundedCorners(x, y, 12); }},
        {"ellipse",
         [](int x, int y) {
             double dx = (x - kWidth / 2.0) / (kWidth / 2.0),
                    dy = (y - kHeight / 2.0) / (kHeight / 2.0);
             return dx * dx + dy * dy > 1.0;
         }},
        {"wavy edges and holes",
         [](int x, int y) {
             int edge = 10 + static_cast<int>(8 * std::sin(y / 9.0));
             return x < edge || x >= kWidth - edge || ((x / 16 + y / 16) % 7 == 0 && (x % 16) < 4);
         }},
    };
    std::printf("%-26s %10s %14s %14s %9s %6s\n", "skin 640 x 480", "cut px", "per-pixel ms",
                "runs ms", "speed-up", "equal");
    bool allEqual = true;
    for (const Skin& skin : skins) {
        void* pBits = nullptr;
        HBITMAP hBitmap = Draw(skin, &pBits);
        BITMAP bm{};
        GetObjectA(hBitmap, sizeof(bm), &bm);
        int cut = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) cut += skin.transparent(x, y) ? 1 : 0;

        HDC hdc = CreateCompatibleDC(nullptr);
        HGDIOBJ hOld = SelectObject(hdc, hBitmap);
        HRGN hReference = nullptr;
        double perPixel = Milliseconds(
            [&] {
                if (hReference) DeleteObject(hReference);
                hReference = CreateRegionPerPixel(hdc, kWidth, kHeight, kGreen);
            },
            1);
        SelectObject(hdc, hOld);
        DeleteDC(hdc);

        HRGN hRuns = nullptr;
        double runs = Milliseconds(
            [&] {
                if (hRuns) DeleteObject(hRuns);
                hRuns = CreateRegionFromDib24(bm, kGreen);
            },
            repeats);
        HRGN hFromBitmap = CreateRegionFromBitmap(hBitmap, kWidth, kHeight, kGreen);
        bool equal = EqualRgn(hReference, hRuns) && EqualRgn(hReference, hFromBitmap);
        allEqual = allEqual && equal;
        std::printf("%-26s %10d %14.1f %14.2f %8.0fx %6s\n", skin.name, cut, perPixel, runs,
                    perPixel / runs, equal ? "yes" : "NO");
        DeleteObject(hReference);
        DeleteObject(hRuns);
        DeleteObject(hFromBitmap);
        DeleteObject(hBitmap);
    }
    return allEqual ? 0 : 1;
}

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

// A 24-bit bottom-up DIB section of the shape, transparent where the shape says so.
HBITMAP Draw(const std::function<bool(int, int)>& transparent) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* pBits = nullptr;
    HBITMAP hBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    const int stride = (kWidth * 3 + 3) & ~3;
    for (int y = 0; y < kHeight; ++y) {
        auto* pPixel = static_cast<unsigned char*>(pBits) + (kHeight - 1 - y) * stride;
        for (int x = 0; x < kWidth; ++x, pPixel += 3) {
            const bool cut = transparent(x, y);
            pPixel[0] = cut ? 0 : static_cast<unsigned char>(200 + x % 50);
            pPixel[1] = cut ? 255 : static_cast<unsigned char>(120 + y % 100);
            pPixel[2] = cut ? 0 : 60;
        }
    }
    return hBitmap;
}

// Builds the region `repeats` times; the milliseconds of one build.
double Milliseconds(const std::function<HRGN()>& build, int repeats, HRGN* pRegion) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i) {
        if (*pRegion) DeleteObject(*pRegion);
        *pRegion = build();
    }
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    return elapsed.count() / repeats;
}

bool OutsideRoundedCorners(int x, int y, int radius) {
    const int cx = x < radius ? radius : (x >= kWidth - radius ? kWidth - radius - 1 : x);
    const int cy = y < radius ? radius : (y >= kHeight - radius ? kHeight - radius - 1 : y);
    return double(x - cx) * (x - cx) + double(y - cy) * (y - cy) > double(radius) * radius;
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::atoi(argv[1]) : 5;
    const std::pair<const char*, std::function<bool(int, int)>> skins[] = {
        {"rounded corners (r = 12)", [](int x, int y) { return OutsideRoundedCorners(x, y, 12); }},
        {"ellipse",
         [](int x, int y) {
             const double dx = (x - kWidth / 2.0) / (kWidth / 2.0);
             const double dy = (y - kHeight / 2.0) / (kHeight / 2.0);
             return dx * dx + dy * dy > 1.0;
         }},
        {"wavy edges and holes",
         [](int x, int y) {
             const int edge = 10 + static_cast<int>(8 * std::sin(y / 9.0));
             return x < edge || x >= kWidth - edge || ((x / 16 + y / 16) % 7 == 0 && x % 16 < 4);
         }},
    };
    std::printf("%-26s %10s %14s %14s %9s %6s\n", "skin 640 x 480", "cut px", "per-pixel ms",
                "runs ms", "speed-up", "equal");
    bool allEqual = true;
    for (const auto& [name, transparent] : skins) {
        HBITMAP hBitmap = Draw(transparent);
        BITMAP bm{};
        GetObjectA(hBitmap, sizeof(bm), &bm);
        int cut = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) cut += transparent(x, y) ? 1 : 0;

        HDC hdc = CreateCompatibleDC(nullptr);
        HGDIOBJ hOld = SelectObject(hdc, hBitmap);
        HRGN hReference = nullptr, hRuns = nullptr;
        const double perPixel = Milliseconds(
            [&] { return CreateRegionPerPixel(hdc, kWidth, kHeight, kGreen); }, 1, &hReference);
        SelectObject(hdc, hOld);
        DeleteDC(hdc);
        const double runs =
            Milliseconds([&] { return CreateRegionFromDib24(bm, kGreen); }, repeats, &hRuns);
        HRGN hFromBitmap = CreateRegionFromBitmap(hBitmap, kWidth, kHeight, kGreen);
        const bool equal = EqualRgn(hReference, hRuns) && EqualRgn(hReference, hFromBitmap);
        allEqual = allEqual && equal;
        std::printf("%-26s %10d %14.1f %14.2f %8.0fx %6s\n", name, cut, perPixel, runs,
                    perPixel / runs, equal ? "yes" : "NO");
        for (HGDIOBJ h :
             {HGDIOBJ(hReference), HGDIOBJ(hRuns), HGDIOBJ(hFromBitmap), HGDIOBJ(hBitmap)})
            DeleteObject(h);
    }
    return allEqual ? 0 : 1;
}

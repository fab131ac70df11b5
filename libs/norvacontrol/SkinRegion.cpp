#include "SkinRegion.h"

#include <cstdint>
#include <vector>

namespace {

// Builds the region from horizontal runs of opaque pixels. Consecutive rows with the same runs
// share one band of rectangles, so a typical skin (a few shaped rows at the top and bottom, a
// plain middle) needs only a few hundred rectangles, handed to the system in one call.
class RunRegionBuilder {
public:
    explicit RunRegionBuilder(int width) : m_nWidth(width) {}

    // isTransparent(x) for the pixels of row y, rows in increasing order.
    template <typename IsTransparent>
    void AddRow(int y, IsTransparent isTransparent) {
        m_current.clear();
        int x = 0;
        while (x < m_nWidth) {
            while (x < m_nWidth && isTransparent(x)) ++x;
            if (x == m_nWidth) break;
            int start = x;
            while (x < m_nWidth && !isTransparent(x)) ++x;
            m_current.push_back(start);
            m_current.push_back(x);
        }
        if (m_bBandOpen && m_current == m_band) {
            m_nBandBottom = y + 1;
            return;
        }
        FlushBand();
        m_band.swap(m_current);
        m_nBandTop = y;
        m_nBandBottom = y + 1;
        m_bBandOpen = true;
    }

    HRGN Create() {
        FlushBand();
        std::vector<unsigned char> data(sizeof(RGNDATAHEADER) + m_rects.size() * sizeof(RECT));
        auto* pData = reinterpret_cast<RGNDATA*>(data.data());
        pData->rdh.dwSize = sizeof(RGNDATAHEADER);
        pData->rdh.iType = RDH_RECTANGLES;
        pData->rdh.nCount = static_cast<DWORD>(m_rects.size());
        pData->rdh.nRgnSize = static_cast<DWORD>(m_rects.size() * sizeof(RECT));
        pData->rdh.rcBound = m_bound;
        if (!m_rects.empty()) memcpy(pData->Buffer, m_rects.data(), m_rects.size() * sizeof(RECT));
        return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), pData);
    }

private:
    void FlushBand() {
        if (!m_bBandOpen) return;
        for (size_t i = 0; i + 1 < m_band.size(); i += 2) {
            RECT rc{m_band[i], m_nBandTop, m_band[i + 1], m_nBandBottom};
            if (m_rects.empty()) {
                m_bound = rc;
            } else {
                UnionRect(&m_bound, &m_bound, &rc);
            }
            m_rects.push_back(rc);
        }
        m_bBandOpen = false;
    }

    int m_nWidth;
    std::vector<int> m_current;  // start, end pairs of the row being added
    std::vector<int> m_band;     // the runs shared by the rows of the open band
    int m_nBandTop = 0;
    int m_nBandBottom = 0;
    bool m_bBandOpen = false;
    std::vector<RECT> m_rects;
    RECT m_bound{0, 0, 0, 0};
};

// A pixel's colour never equals a palette-index or palette-relative COLORREF.
bool IsPlainColour(COLORREF colour) {
    return (colour >> 24) == 0;
}

}  // namespace

HRGN CreateRegionFromDib24(const BITMAP& bitmap, COLORREF transparent) {
    if (!bitmap.bmBits || bitmap.bmWidth <= 0 || bitmap.bmHeight <= 0) return nullptr;
    if (!IsPlainColour(transparent)) return CreateRectRgn(0, 0, bitmap.bmWidth, bitmap.bmHeight);
    const auto* pBits = static_cast<const unsigned char*>(bitmap.bmBits);
    const LONG stride = (bitmap.bmWidthBytes + 3) & 0x7FFFFFFC;
    const unsigned char red = GetRValue(transparent);
    const unsigned char green = GetGValue(transparent);
    const unsigned char blue = GetBValue(transparent);
    RunRegionBuilder builder(bitmap.bmWidth);
    for (int y = 0; y < bitmap.bmHeight; ++y) {
        const unsigned char* pRow = pBits + static_cast<size_t>(bitmap.bmHeight - 1 - y) * stride;
        builder.AddRow(y, [&](int x) {
            const unsigned char* p = pRow + 3 * x;
            return p[0] == blue && p[1] == green && p[2] == red;
        });
    }
    return builder.Create();
}

HRGN CreateRegionFromBitmap(HBITMAP hBitmap, int width, int height, COLORREF transparent) {
    if (!hBitmap || width <= 0 || height <= 0) return nullptr;
    if (!IsPlainColour(transparent)) return CreateRectRgn(0, 0, width, height);
    // The colours as 32-bit top-down pixels, blue, green, red, unused.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    HDC hdc = CreateCompatibleDC(nullptr);
    if (!hdc) return nullptr;
    int rows =
        GetDIBits(hdc, hBitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteDC(hdc);
    if (rows != height) return nullptr;
    const uint32_t key = (static_cast<uint32_t>(GetRValue(transparent)) << 16) |
                         (static_cast<uint32_t>(GetGValue(transparent)) << 8) |
                         GetBValue(transparent);
    RunRegionBuilder builder(width);
    for (int y = 0; y < height; ++y) {
        const uint32_t* pRow = pixels.data() + static_cast<size_t>(y) * width;
        builder.AddRow(y, [&](int x) { return (pRow[x] & 0x00FFFFFF) == key; });
    }
    return builder.Create();
}

HRGN CreateRegionPerPixel(HDC hdc, int width, int height, COLORREF transparent) {
    HRGN hRegion = CreateRectRgn(0, 0, width, height);
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            if (GetPixel(hdc, x, y) != transparent) continue;
            HRGN hPixel = CreateRectRgn(x, y, x + 1, y + 1);
            CombineRgn(hRegion, hRegion, hPixel, RGN_XOR);
            DeleteObject(hPixel);
        }
    }
    return hRegion;
}

#include "SkinImage.h"

#include <algorithm>

namespace {

// How many pixels of each side of a picture keep their size when it is fitted to a control.
constexpr int kEdge = 3;

}  // namespace

bool CSkinImage::Load(HINSTANCE hLibrary, UINT nID) {
    Reset();
    if (nID == 0) return true;
    if (!hLibrary) return false;
    m_hBitmap = static_cast<HBITMAP>(
        LoadImageA(hLibrary, MAKEINTRESOURCEA(nID), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!m_hBitmap) return false;
    BITMAP bm{};
    GetObjectA(m_hBitmap, sizeof(bm), &bm);
    m_nWidth = bm.bmWidth;
    m_nHeight = bm.bmHeight;
    return true;
}

void CSkinImage::Reset() {
    if (m_hBitmap) DeleteObject(m_hBitmap);
    m_hBitmap = nullptr;
    m_nWidth = 0;
    m_nHeight = 0;
}

bool CSkinImage::Draw(HDC hdc, const RECT& rc) const {
    if (!m_hBitmap) return false;
    HDC hMemory = CreateCompatibleDC(hdc);
    if (!hMemory) return false;
    HGDIOBJ hOld = SelectObject(hMemory, m_hBitmap);
    int mode = SetStretchBltMode(hdc, COLORONCOLOR);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    // Nine pieces: corners as they are, edges stretched along, the middle both ways.
    const int edge = std::min({kEdge, m_nWidth / 3, m_nHeight / 3, width / 3, height / 3});
    const int sourceX[] = {0, edge, m_nWidth - edge, m_nWidth};
    const int sourceY[] = {0, edge, m_nHeight - edge, m_nHeight};
    const int targetX[] = {0, edge, width - edge, width};
    const int targetY[] = {0, edge, height - edge, height};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const int w = targetX[column + 1] - targetX[column];
            const int h = targetY[row + 1] - targetY[row];
            if (w <= 0 || h <= 0) continue;
            StretchBlt(hdc, rc.left + targetX[column], rc.top + targetY[row], w, h, hMemory,
                       sourceX[column], sourceY[row], sourceX[column + 1] - sourceX[column],
                       sourceY[row + 1] - sourceY[row], SRCCOPY);
        }
    }
    SetStretchBltMode(hdc, mode);
    SelectObject(hMemory, hOld);
    DeleteDC(hMemory);
    return true;
}

const CSkinImage* FirstLoaded(std::initializer_list<const CSkinImage*> images) {
    for (const CSkinImage* pImage : images)
        if (pImage && !pImage->IsEmpty()) return pImage;
    return nullptr;
}

#include "SkinImage.h"

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
    StretchBlt(hdc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hMemory, 0, 0,
               m_nWidth, m_nHeight, SRCCOPY);
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

// A bitmap taken from a skin library and drawn into a control.
#pragma once

#include <windows.h>

#include <initializer_list>

class CSkinImage {
public:
    CSkinImage() = default;
    ~CSkinImage() { Reset(); }
    CSkinImage(const CSkinImage&) = delete;
    CSkinImage& operator=(const CSkinImage&) = delete;

    // Loads bitmap nID of the library (a copy: the library may be freed afterwards). ID 0, a null
    // library or a missing bitmap leave the image empty; false then, except for ID 0.
    bool Load(HINSTANCE hLibrary, UINT nID);
    void Reset();
    bool IsEmpty() const { return m_hBitmap == nullptr; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // Fits the image to rc: the edges (a few pixels wide) keep their size and the middle
    // stretches, so frames drawn into the picture stay thin. False (drawing nothing) when empty.
    bool Draw(HDC hdc, const RECT& rc) const;

private:
    HBITMAP m_hBitmap = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
};

// The first image of the list that is not empty, or null.
const CSkinImage* FirstLoaded(std::initializer_list<const CSkinImage*> images);

// The shape of a skinned window: its picture less every pixel of the transparent colour.
#pragma once

#include <windows.h>

// From the bits of a 24-bit bottom-up DIB (bmBits of a DIB section): rows start at
// bits + (height - 1 - y) * stride, with the stride rounded up to 4 bytes; blue, green, red.
HRGN CreateRegionFromDib24(const BITMAP& bitmap, COLORREF transparent);

// From any bitmap that is not selected into a device context, its colours as GetPixel reads them.
HRGN CreateRegionFromBitmap(HBITMAP hBitmap, int width, int height, COLORREF transparent);

// The reference: the rectangle (0, 0, width, height) less each transparent pixel, taken out one by
// one with a 1 x 1 RGN_XOR as GetPixel finds it (columns outer, rows inner). Slow; kept for tests
// and measurements.
HRGN CreateRegionPerPixel(HDC hdc, int width, int height, COLORREF transparent);

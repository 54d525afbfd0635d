// An owned GDI+ bitmap.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

namespace salvora::widgets {

class CGdiPlusBitmap {
  public:
    CGdiPlusBitmap() = default;
    // Loads the image file at `path` (see Load).
    explicit CGdiPlusBitmap(const wchar_t* path) { Load(path); }
    // Deletes the bitmap.
    virtual ~CGdiPlusBitmap() { Empty(); }
    CGdiPlusBitmap(const CGdiPlusBitmap&) = delete;
    CGdiPlusBitmap& operator=(const CGdiPlusBitmap&) = delete;

    // Deletes the bitmap held, if any.
    void Empty();
    // Replaces the bitmap with the image file at `path` (PNG, BMP, JPEG ...).
    // False, holding nothing, when the file cannot be read or decoded.
    bool Load(const wchar_t* path);

    // The bitmap, or null.
    Gdiplus::Bitmap* bitmap() const { return m_pBitmap; }
    operator Gdiplus::Bitmap*() const { return m_pBitmap; }
    // Pixel size of the bitmap; 0 when there is none.
    int width() const { return m_pBitmap ? static_cast<int>(m_pBitmap->GetWidth()) : 0; }
    int height() const { return m_pBitmap ? static_cast<int>(m_pBitmap->GetHeight()) : 0; }

  protected:
    Gdiplus::Bitmap* m_pBitmap = nullptr;
};

}  // namespace salvora::widgets

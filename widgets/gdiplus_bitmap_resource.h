// A GDI+ bitmap decoded from an image in the program's resources (custom
// type "PNG"). GDI+ reads the bitmap's pixels from the stream it was made
// from for as long as the bitmap lives, so the copy of the resource bytes
// under that stream is kept with the bitmap.
#pragma once

#include "widgets/gdiplus_bitmap.h"

namespace salvora::widgets {

class CGdiPlusBitmapResource : public CGdiPlusBitmap {
  public:
    CGdiPlusBitmapResource() = default;
    // Deletes the bitmap first, then frees the memory block under it.
    ~CGdiPlusBitmapResource() override { Empty(); }

    // Deletes the bitmap and frees its memory block.
    void Empty();
    // Loads resource `id` of `type` from `module` (null: the program itself).
    // False, holding nothing, when the resource is missing, empty or cannot
    // be decoded, or memory runs out.
    bool Load(UINT id, const wchar_t* type = L"PNG", HMODULE module = nullptr);
    bool Load(const wchar_t* name, const wchar_t* type, HMODULE module = nullptr);

  private:
    HGLOBAL m_hBuffer = nullptr;  // movable, locked while the bitmap lives
};

}  // namespace salvora::widgets

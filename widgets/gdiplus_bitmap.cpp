#include "widgets/gdiplus_bitmap.h"

namespace salvora::widgets {

void CGdiPlusBitmap::Empty() {
    delete m_pBitmap;
    m_pBitmap = nullptr;
}

bool CGdiPlusBitmap::Load(const wchar_t* path) {
    Empty();
    m_pBitmap = Gdiplus::Bitmap::FromFile(path);
    if (m_pBitmap && m_pBitmap->GetLastStatus() == Gdiplus::Ok)
        return true;
    Empty();
    return false;
}

}  // namespace salvora::widgets

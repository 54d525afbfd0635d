#include "widgets/picture_dc.h"

namespace salvora::widgets {

bool PictureDC::Create(HDC like, int width, int height) {
    Destroy();
    dc_ = CreateCompatibleDC(like);
    bitmap_ = CreateCompatibleBitmap(like, width, height);
    if (!dc_ || !bitmap_) {
        Destroy();
        return false;
    }
    oldBitmap_ = SelectObject(dc_, bitmap_);
    return true;
}

void PictureDC::Destroy() {
    if (dc_ && oldBitmap_)
        SelectObject(dc_, oldBitmap_);
    if (bitmap_)
        DeleteObject(bitmap_);
    if (dc_)
        DeleteDC(dc_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    oldBitmap_ = nullptr;
}

}  // namespace salvora::widgets

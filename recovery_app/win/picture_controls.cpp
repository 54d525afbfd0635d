#include "recovery_app/win/picture_controls.h"

#include <algorithm>

#include "widgets/gdiplus_bitmap_resource.h"

namespace salvora {

ResourcePicture::~ResourcePicture() {
    if (bitmap_)
        DeleteObject(bitmap_);
}

bool ResourcePicture::Load(UINT id) {
    if (bitmap_)
        DeleteObject(bitmap_);
    bitmap_ = nullptr;
    size_ = {};
    widgets::CGdiPlusBitmapResource image;
    if (!image.Load(id, L"PNG"))
        return false;
    HBITMAP bitmap = nullptr;
    if (image.bitmap()->GetHBITMAP(Gdiplus::Color(255, 0, 0, 0), &bitmap) != Gdiplus::Ok)
        return false;
    bitmap_ = bitmap;
    size_ = {image.width(), image.height()};
    return true;
}

void ResourcePicture::Stretch(HDC dc, const RECT& rect) const {
    if (!bitmap_)
        return;
    const HDC memory = CreateCompatibleDC(dc);
    const HGDIOBJ old = SelectObject(memory, bitmap_);
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memory, 0, 0,
               size_.cx, size_.cy, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void ResourcePicture::Fill(HDC dc, const RECT& rect, bool alignRight) const {
    if (!bitmap_)
        return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int drawnWidth = std::min<int>(width, size_.cx);
    const int drawnHeight = std::min<int>(height, size_.cy);
    const HDC memory = CreateCompatibleDC(dc);
    const HGDIOBJ old = SelectObject(memory, bitmap_);
    // The picture, against its side.
    const int x = alignRight ? rect.right - drawnWidth : rect.left;
    const int sourceX = alignRight ? size_.cx - drawnWidth : 0;
    BitBlt(dc, x, rect.top, drawnWidth, drawnHeight, memory, sourceX, 0, SRCCOPY);
    // The outer column across the rest of the width.
    if (width > drawnWidth) {
        const int restX = alignRight ? rect.left : rect.left + drawnWidth;
        const int column = alignRight ? 0 : size_.cx - 1;
        StretchBlt(dc, restX, rect.top, width - drawnWidth, drawnHeight, memory, column, 0, 1, drawnHeight,
                   SRCCOPY);
    }
    // The last row down the rest of the height.
    if (height > drawnHeight) {
        StretchBlt(dc, rect.left, rect.top + drawnHeight, width, height - drawnHeight, dc, rect.left,
                   rect.top + drawnHeight - 1, width, 1, SRCCOPY);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
}

bool CPictureStatic::SetPicture(UINT id, bool alignRight) {
    alignRight_ = alignRight;
    if (!picture_.Load(id))
        return false;
    Invalidate();
    return true;
}

bool CPictureStatic::OnReflectedMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_DRAWITEM)
        return false;
    const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    picture_.Fill(item.hDC, item.rcItem, alignRight_);
    result = TRUE;
    return true;
}

void CBitmapButton::PreSubclassWindow() {
    const LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    SetWindowLongPtrW(hwnd(), GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
}

bool CBitmapButton::LoadBitmaps(UINT up, UINT down, UINT focused) {
    if (!up_.Load(up))
        return false;
    down_.Load(down);
    focused_.Load(focused);
    Invalidate();
    return true;
}

bool CBitmapButton::OnReflectedMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_DRAWITEM)
        return false;
    Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    result = TRUE;
    return true;
}

void CBitmapButton::Draw(const DRAWITEMSTRUCT& item) const {
    const ResourcePicture* picture = &up_;
    if ((item.itemState & ODS_SELECTED) && down_.loaded()) {
        picture = &down_;
    } else if ((item.itemState & ODS_FOCUS) && focused_.loaded()) {
        picture = &focused_;
    }
    const RECT& rect = item.rcItem;
    picture->Fill(item.hDC, rect);
    if (!(item.itemState & ODS_DISABLED))
        return;
    // Disabled: the picture under a half-transparent grey veil.
    const HDC veil = CreateCompatibleDC(item.hDC);
    const HBITMAP grey = CreateCompatibleBitmap(item.hDC, 1, 1);
    const HGDIOBJ old = SelectObject(veil, grey);
    SetPixel(veil, 0, 0, RGB(96, 100, 108));
    const BLENDFUNCTION half{AC_SRC_OVER, 0, 150, 0};
    GdiAlphaBlend(item.hDC, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, veil, 0, 0,
                  1, 1, half);
    SelectObject(veil, old);
    DeleteObject(grey);
    DeleteDC(veil);
}

}  // namespace salvora

#include "card_button.h"

#include "cardprotect_app/core/view_state.h"

namespace salvora::lockwright {

using cardprotect::CardFace;
using cardprotect::CardImage;

namespace {

SIZE clientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right - client.left, client.bottom - client.top};
}

}  // namespace

CCardButton::~CCardButton() {
    UnsubclassWindow();
}

bool CCardButton::LoadImageSet(int set, UINT firstId) {
    if (set < 1 || set > cardprotect::kImageSets)
        return false;
    Images& images = m_images[static_cast<size_t>(set - 1)];
    for (UINT i = 0; i < 4; ++i) {
        auto image = std::make_unique<widgets::CGdiPlusBitmapResource>();
        images[i] = image->Load(firstId + i, L"PNG") ? std::move(image) : nullptr;
    }
    return images[0] != nullptr;
}

bool CCardButton::LoadSinglePicture(UINT id) {
    Images& images = m_images[0];
    for (auto& slot : images) {
        auto image = std::make_unique<widgets::CGdiPlusBitmapResource>();
        slot = image->Load(id, L"PNG") ? std::move(image) : nullptr;
    }
    return images[0] != nullptr;
}

void CCardButton::SetImageSet(int set) {
    if (set == m_nImageSet)
        return;
    m_nImageSet = set;
    Repaint();
}

void CCardButton::SetSelected(bool selected) {
    if (selected == m_bSelected)
        return;
    m_bSelected = selected;
    Repaint();
}

void CCardButton::SetDisabledLook(bool disabled) {
    if (disabled == m_bDisabledLook)
        return;
    m_bDisabledLook = disabled;
    Repaint();
}

void CCardButton::Enable(bool enable) {
    if (hwnd() && (IsWindowEnabled(hwnd()) != FALSE) != enable)
        EnableWindow(hwnd(), enable);
    SetDisabledLook(!enable);
}

void CCardButton::Repaint() {
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
}

cardprotect::LoadedImages CCardButton::Loaded() const {
    cardprotect::LoadedImages loaded{};
    for (size_t set = 0; set < m_images.size(); ++set) {
        for (size_t image = 0; image < 4; ++image)
            loaded[set][image] = m_images[set][image] != nullptr;
    }
    return loaded;
}

CardFace CCardButton::CurrentFace(bool pressed, bool windowDisabled) const {
    cardprotect::CardButtonState state;
    state.imageSet = m_nImageSet;
    state.selected = m_bSelected;
    state.disabledLook = m_bDisabledLook;
    state.windowDisabled = windowDisabled;
    state.pressed = pressed;
    state.hovering = IsHovering();
    return cardprotect::chooseCardFace(state, Loaded());
}

// The parent paints what lies behind the button into `dc`, shifted so that
// the button's top-left corner is at (0, 0).
void CCardButton::PaintParentBackground(HDC dc) {
    const HWND parent = GetParent();
    RECT frame{};
    GetWindowRect(hwnd(), &frame);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&frame), 2);
    POINT old{};
    OffsetViewportOrgEx(dc, -frame.left, -frame.top, &old);
    SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

void CCardButton::ComposeFace(widgets::PictureDC& target, const CardFace& face, int width, int height) {
    const HDC buttonDC = GetDC(hwnd());
    const bool made = target.Create(buttonDC, width, height);
    ReleaseDC(hwnd(), buttonDC);
    if (!made)
        return;
    PaintParentBackground(target.hdc());
    if (face.none)
        return;
    const auto& image = m_images[static_cast<size_t>(face.imageSet - 1)][static_cast<size_t>(face.image)];
    Gdiplus::Graphics graphics(target.hdc());
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    const int shift = face.shiftPressed ? 1 : 0;
    graphics.DrawImage(image->bitmap(), Gdiplus::Rect(shift, shift, width, height));
}

widgets::PictureDC* CCardButton::FaceDC(const CardFace& face) {
    const SIZE size = clientSize(hwnd());
    if (size.cx <= 0 || size.cy <= 0)
        return nullptr;
    const size_t set = static_cast<size_t>(face.imageSet - 1);
    widgets::PictureDC& target = face.none           ? m_background
                                 : face.shiftPressed ? m_shiftedFaces[set]
                                                     : m_faces[set][static_cast<size_t>(face.image)];
    if (!target.exists())
        ComposeFace(target, face, size.cx, size.cy);
    return target.exists() ? &target : nullptr;
}

void CCardButton::PaintFace(HDC dc, int x, int y) {
    const CardFace face = CurrentFace(false, IsWindowEnabled(hwnd()) == FALSE);
    widgets::PictureDC* picture = FaceDC(face);
    if (!picture)
        return;
    const SIZE size = clientSize(hwnd());
    BitBlt(dc, x, y, size.cx, size.cy, picture->hdc(), 0, 0, SRCCOPY);
}

bool CCardButton::OnReflectedMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_DRAWITEM)
        return false;  // WM_CTLCOLORBTN: the faces are composed when first drawn
    const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    const CardFace face =
        CurrentFace((item.itemState & ODS_SELECTED) != 0, (item.itemState & ODS_DISABLED) != 0);
    if (widgets::PictureDC* picture = FaceDC(face)) {
        BitBlt(item.hDC, 0, 0, item.rcItem.right - item.rcItem.left, item.rcItem.bottom - item.rcItem.top,
               picture->hdc(), 0, 0, SRCCOPY);
    }
    result = TRUE;
    return true;
}

LRESULT CCardButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == BM_GETCHECK)
        return m_bSelected ? BST_CHECKED : BST_UNCHECKED;
    const LRESULT result = CGdipButton::WindowProc(message, wParam, lParam);
    if (message == WM_PAINT)
        SendMessageW(GetParent(), cardprotect::kWmRepaintLabels, 0, 0);
    return result;
}

}  // namespace salvora::lockwright

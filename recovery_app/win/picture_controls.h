// Pictures from the program's PNG resources shown on plain controls: an
// owner-drawn static (logo, banner, captions) and a push button drawn from an
// up, a down and a focused picture.
//
// A control keeps the size its dialog template gives it, which depends on the
// dialog font's metrics. The picture is drawn at its own size and, where the
// control is larger, its edge column and row are drawn out to the control's
// edges (the pictures are plain there), so nothing is blurred or cut.
#pragma once

#include <windows.h>

#include "widgets/control_window.h"

namespace salvora {

// A picture decoded from a PNG resource into a GDI bitmap.
class ResourcePicture {
  public:
    ResourcePicture() = default;
    ~ResourcePicture();
    ResourcePicture(const ResourcePicture&) = delete;
    ResourcePicture& operator=(const ResourcePicture&) = delete;

    // Decodes PNG resource `id` of the program. False (holding nothing) when
    // it is missing or cannot be decoded; GDI+ must be started.
    bool Load(UINT id);
    bool loaded() const { return bitmap_ != nullptr; }
    SIZE size() const { return size_; }
    // Fills `rect` with the picture at its own size, against the left edge
    // (or the right one when `alignRight`) and the top; the remaining width
    // repeats the picture's outer column, the remaining height its last row.
    void Fill(HDC dc, const RECT& rect, bool alignRight = false) const;
    // Draws the picture stretched over `rect`.
    void Stretch(HDC dc, const RECT& rect) const;

  private:
    HBITMAP bitmap_ = nullptr;
    SIZE size_{};
};

// An owner-drawn static showing one picture.
class CPictureStatic : public widgets::ControlWindow {
  public:
    // Loads the picture, drawn against the control's left edge, or its right
    // edge when `alignRight` (a caption standing before its value).
    bool SetPicture(UINT id, bool alignRight = false);
    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    ResourcePicture picture_;
    bool alignRight_ = false;
};

// An owner-drawn push button drawn from pictures: up, down while pressed,
// focused while it has the keyboard focus, and the up picture greyed while
// disabled.
class CBitmapButton : public widgets::ControlWindow {
  public:
    // Loads the three pictures. True when the up picture loaded; a missing
    // down or focused picture falls back to the up one.
    bool LoadBitmaps(UINT up, UINT down, UINT focused);
    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  protected:
    void PreSubclassWindow() override;

  private:
    void Draw(const DRAWITEMSTRUCT& item) const;

    ResourcePicture up_;
    ResourcePicture down_;
    ResourcePicture focused_;
};

}  // namespace salvora

// The image button of the card protection window: the shared CGdipButton
// (owner drawing, hover tracking, double click as a press) with up to three
// image sets of four pictures each (normal, pressed, hover, disabled), a
// current set chosen by the window, a selected flag (the chosen card type, or
// the action whose panel is open) and a disabled-look flag.
//
// The pictures are drawn at the button's client size over its parent's
// background, which the parent paints on WM_PRINTCLIENT; each face is
// composed once and then copied at every paint. After painting itself the
// button sends WM_REPAINT_LABELS to its parent, whose labels may lie on top
// of it. BM_GETCHECK answers the selected flag.
#pragma once

#include <array>
#include <memory>

#include "cardprotect_app/core/card_button_face.h"
#include "widgets/gdip_button.h"
#include "widgets/gdiplus_bitmap_resource.h"
#include "widgets/picture_dc.h"

namespace salvora::lockwright {

class CCardButton : public widgets::CGdipButton {
  public:
    CCardButton() = default;
    ~CCardButton() override;

    // Loads image set `set` (1..3) from four PNG resources in a row, starting
    // at `firstId`: normal, pressed, hover, disabled. Returns false when the
    // normal picture is missing (the set is then unusable).
    bool LoadImageSet(int set, UINT firstId);
    // One picture for every state of set 1: backgrounds, decorations and marks
    // that look the same enabled or not.
    bool LoadSinglePicture(UINT id);

    // The set shown (1..3); repaints when it changes.
    void SetImageSet(int set);
    int ImageSet() const { return m_nImageSet; }
    // While selected the button shows the pressed picture of its set.
    void SetSelected(bool selected);
    bool IsSelected() const { return m_bSelected; }
    // While set the button shows the disabled picture of its set.
    void SetDisabledLook(bool disabled);
    bool HasDisabledLook() const { return m_bDisabledLook; }
    // Enables or disables the button window together with its look.
    void Enable(bool enable);

    // Draws the face the button shows now into `dc` at (x, y), clipped by the
    // caller: a label on top of the button paints its background this way.
    void PaintFace(HDC dc, int x, int y);

    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    using Images = std::array<std::unique_ptr<widgets::CGdiPlusBitmapResource>, 4>;

    cardprotect::LoadedImages Loaded() const;
    cardprotect::CardFace CurrentFace(bool pressed, bool windowDisabled) const;
    widgets::PictureDC* FaceDC(const cardprotect::CardFace& face);
    void ComposeFace(widgets::PictureDC& target, const cardprotect::CardFace& face, int width, int height);
    void PaintParentBackground(HDC dc);
    void Repaint();

    std::array<Images, cardprotect::kImageSets> m_images;
    std::array<std::array<widgets::PictureDC, 4>, cardprotect::kImageSets> m_faces;
    std::array<widgets::PictureDC, cardprotect::kImageSets>
        m_shiftedFaces;               // normal, one pixel down and right
    widgets::PictureDC m_background;  // for a set without pictures
    int m_nImageSet = 1;
    bool m_bSelected = false;
    bool m_bDisabledLook = false;
};

}  // namespace salvora::lockwright

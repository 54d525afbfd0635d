// An owner-drawn push button showing PNG images with transparency over
// whatever lies behind it on the parent window, with separate looks for
// normal, pressed, hot (mouse over) and disabled.
//
// The pictures of every state are composed once, over a copy of the parent's
// background taken at the button's first paint, and each paint copies one of
// them. Take the button over in the dialog's OnInitDialog:
//
//   m_cAgree.SubclassDlgItem(IDC_AGREE, hwnd());
//   m_cAgree.LoadStdImage(171, L"PNG");
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "widgets/control_window.h"
#include "widgets/core/button_face.h"
#include "widgets/gdiplus_bitmap_resource.h"
#include "widgets/picture_dc.h"

namespace salvora::widgets {

class CGdipButton : public ControlWindow {
  public:
    CGdipButton() = default;
    // Releases images, pictures and tooltip.
    ~CGdipButton() override;

    // Each loads resource `id` of `type` ("PNG") of the program as the
    // standard, pressed, hot or alternate (toggled) image. Returns the load
    // result; a failed image is dropped.
    bool LoadStdImage(UINT id, const wchar_t* type = L"PNG");
    bool LoadStdPImage(UINT id, const wchar_t* type = L"PNG");
    bool LoadStdHImage(UINT id, const wchar_t* type = L"PNG");
    bool LoadAltImage(UINT id, const wchar_t* type = L"PNG");

    // A toggle button flips between the standard and the alternate images at each press.
    void EnableToggle(bool toggle) { m_bIsToggle = toggle; }
    // Shows the disabled look (and repaints).
    void SetDisabled(bool disabled);
    // The tooltip shown while the mouse rests over the button (empty: none).
    void SetToolTipText(const std::wstring& text) { m_strToolText = text; }

    bool IsHovering() const { return m_bIsHovering; }
    bool IsTracking() const { return m_bIsTracking; }
    bool IsToggled() const { return m_bIsToggled; }
    bool HaveBitmaps() const { return m_bHaveBitmaps; }
    // The tooltip window, null when none was made.
    HWND ToolTip() const { return m_pToolTip; }

    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    bool LoadImage(std::unique_ptr<CGdiPlusBitmapResource>& image, UINT id, const wchar_t* type);
    void BuildStateImages();
    void CaptureBackground(int width, int height);
    ButtonLook Look(bool windowDisabled) const;
    void OnPressBegins();
    void DrawItem(const DRAWITEMSTRUCT& item);
    PictureDC& PictureFor(ButtonFace face);
    void OnMouseMove();
    void OnMouseHover();
    void OnMouseLeave();
    void ShowToolTip();
    void DeleteToolTip();
    void RelayToToolTip(UINT message, WPARAM wParam, LPARAM lParam);

    bool m_bHaveAltImage = false;
    bool m_bHaveBitmaps = false;
    bool m_bIsDisabled = false;
    bool m_bIsToggle = false;
    bool m_bIsHovering = false;
    bool m_bIsTracking = false;
    bool m_bIsToggled = false;
    std::unique_ptr<CGdiPlusBitmapResource> m_pAltImage;
    std::unique_ptr<CGdiPlusBitmapResource> m_pStdImage;
    std::unique_ptr<CGdiPlusBitmapResource> m_pStdPImage;
    std::unique_ptr<CGdiPlusBitmapResource> m_pStdHImage;
    std::wstring m_strToolText;
    HWND m_pToolTip = nullptr;
    PictureDC m_dcBk;                // the parent's background behind the button
    PictureDC m_dcStd;               // standard
    PictureDC m_dcStdP;              // standard pressed
    PictureDC m_dcStdH;              // standard hot
    PictureDC m_dcAlt;               // alternate
    PictureDC m_dcAltP;              // alternate pressed
    PictureDC m_dcAltH;              // alternate hot
    PictureDC m_dcGS;                // disabled (grey)
    PictureDC* m_pCurBtn = nullptr;  // shown at the next paint
};

}  // namespace salvora::widgets

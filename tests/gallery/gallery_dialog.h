// A white window showing every widget, laid out in pixels, for the gallery
// tests and the gallery screenshot.
#pragma once

#include <windows.h>

#include "widgets/dialog_base.h"
#include "widgets/gdip_button.h"
#include "widgets/gradient_progress_ctrl.h"

namespace salvora::widgets::test {

// Pixel layout of the gallery's client area.
constexpr int kMargin = 12;
constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 24;
constexpr int kBarWidth = 360;
constexpr int kBarHeight = 20;

// Colours of the bars: red 255, green 30, blue 60 to grey 210.
constexpr COLORREF kBarStart = RGB(255, 30, 60);
constexpr COLORREF kBarEnd = RGB(210, 210, 210);

class GalleryDialog : public DialogBase {
  public:
    GalleryDialog();

    CGdipButton plain;     // standard image only (pattern with a transparent band)
    CGdipButton full;      // standard, pressed and hot images, with a tooltip
    CGdipButton toggle;    // toggle with an alternate image
    CGdipButton disabled;  // pattern, shown disabled
    CGdipButton broken;    // its image resource does not exist
    CGradientProgressCtrl bar0, bar50, bar100, barText;
    bool brokenLoaded = true;
    int clicks[6] = {};  // BN_CLICKED count per button, by index in the order above

  protected:
    BOOL OnInitDialog() override;

  private:
    void Place(int id, int x, int y, int width, int height) const;
    void SetUpBar(CGradientProgressCtrl& bar, int id, int position);
};

// Index of a button id in GalleryDialog::clicks.
int clickIndex(int id);

}  // namespace salvora::widgets::test

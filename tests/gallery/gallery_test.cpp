// The widgets in a real window: painted, driven (hover, press, disable,
// progress positions, messages from another thread) and checked by reading
// the pixels they painted.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "gallery/gallery_dialog.h"
#include "gallery/gallery_resource.h"
#include "gallery/gallery_support.h"
#include "widgets/app_base.h"
#include "widgets/core/gradient_bands.h"
#include "widgets/core/status_text.h"
#include "widgets/gdiplus_bitmap_resource.h"

namespace salvora::widgets::test {
namespace {

class TestApp : public AppBase {
  public:
    int Run() override { return 0; }
};

// Common controls, COM and GDI+ for the whole test program.
class GuiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { app_ = std::make_unique<TestApp>(); }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<TestApp> app_;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

int red(COLORREF c) {
    return GetRValue(c);
}
int green(COLORREF c) {
    return GetGValue(c);
}
int blue(COLORREF c) {
    return GetBValue(c);
}

bool closeTo(int actual, int expected, int tolerance) {
    return std::abs(actual - expected) <= tolerance;
}

// Where the mouse rests when no test wants it over a widget.
void parkCursor() {
    SetCursorPos(1200, 780);
}

class Gallery : public ::testing::Test {
  protected:
    void SetUp() override {
        parkCursor();
        ASSERT_TRUE(dialog.Create());
        ShowWindow(dialog.hwnd(), SW_SHOWNORMAL);
        SetForegroundWindow(dialog.hwnd());
        UpdateWindow(dialog.hwnd());
        pump(150);
        ASSERT_TRUE(
            pumpUntil([this] { return dialog.plain.HaveBitmaps() && dialog.full.HaveBitmaps(); }, 3000));
    }
    void TearDown() override { parkCursor(); }

    HWND item(int id) const { return dialog.GetDlgItem(id); }
    Picture paintedNow(int id) {
        RedrawWindow(item(id), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        pump(30);
        return Picture::ofClient(item(id));
    }
    // The dialog's own background, read where nothing is drawn.
    COLORREF dialogBackground() const { return Picture::ofClient(dialog.hwnd()).at(2, 2); }
    // Puts the mouse over the middle of a control and waits for the hover.
    bool hover(CGdipButton& button) {
        RECT rect;
        GetWindowRect(button.hwnd(), &rect);
        SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        return pumpUntil([&] { return button.IsHovering(); }, 3000);
    }

    GalleryDialog dialog;
};

// The pattern image as decoded, to compare painted pixels with.
class PatternImage {
  public:
    PatternImage() { loaded_ = image_.Load(IDB_PATTERN, L"PNG"); }
    bool loaded() const { return loaded_; }
    Gdiplus::Color at(int x, int y) {
        Gdiplus::Color colour;
        image_.bitmap()->GetPixel(x, y, &colour);
        return colour;
    }

  private:
    CGdiPlusBitmapResource image_;
    bool loaded_ = false;
};

// Opaque columns of the pattern image; the last eight are transparent.
constexpr int kOpaqueColumns = 56;

// ---------------------------------------------------------------- bars

using GradientBar = Gallery;

TEST_F(GradientBar, PositionZeroShowsTheButtonFaceColourWithoutText) {
    const Picture bar = paintedNow(IDC_BAR_0);
    ASSERT_EQ(bar.width(), kBarWidth);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = 0; x < bar.width(); ++x)
            ASSERT_EQ(bar.at(x, y), face) << x << "," << y;
    }
}

TEST_F(GradientBar, FullBarShowsAllOneHundredEightyBandsAndNoBackground) {
    const Picture bar = paintedNow(IDC_BAR_100);
    const int row = bar.height() / 2;
    int bands = 1;
    for (int x = 1; x < bar.width(); ++x)
        bands += bar.at(x, row) != bar.at(x - 1, row);
    EXPECT_EQ(bands, 180);
    EXPECT_EQ(bar.at(0, row), kBarStart);
    // The last band is one step short of the end colour.
    EXPECT_EQ(bar.at(bar.width() - 1, row), RGB(210, 209, 209));
    const GradientPlan plan = planGradient({255, 30, 60}, {210, 210, 210}, kBarWidth, kBarWidth);
    ASSERT_EQ(plan.bands.size(), 180u);
    EXPECT_EQ(plan.backgroundFrom, -1);
    for (const GradientBand& band : plan.bands) {
        for (int x = band.from; x < band.to; ++x) {
            ASSERT_EQ(bar.at(x, row), RGB(band.colour.red, band.colour.green, band.colour.blue)) << x;
        }
    }
}

TEST_F(GradientBar, HalfwayShowsTheGradientUpToTheBandAtTheMiddleThenTheBackground) {
    const Picture bar = paintedNow(IDC_BAR_50);
    const GradientPlan plan = planGradient({255, 30, 60}, {210, 210, 210}, kBarWidth, kBarWidth / 2);
    ASSERT_GT(plan.backgroundFrom, kBarWidth / 2);
    const COLORREF background = dialog.bar50.GetBkColor();
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = 0; x < bar.width(); ++x) {
            if (x < plan.backgroundFrom) {
                ASSERT_NE(bar.at(x, y), background) << x << "," << y;
            } else {
                ASSERT_EQ(bar.at(x, y), background) << x << "," << y;
            }
        }
    }
}

TEST_F(GradientBar, TextIsCentredOverTheGradient) {
    const Picture bar = paintedNow(IDC_BAR_TEXT);
    const Picture plain = paintedNow(IDC_BAR_100);
    int left = bar.width(), right = -1;
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = 0; x < bar.width(); ++x) {
            if (bar.at(x, y) != plain.at(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    ASSERT_GE(right, left) << "no text was drawn";
    EXPECT_TRUE(closeTo(left + right, bar.width() - 1, 6)) << left << ".." << right;
}

TEST_F(GradientBar, PositionFromAnotherThreadIsRecordedAndPainted) {
    CGradientProgressCtrl& bar = dialog.bar0;
    std::atomic<bool> sent{false};
    std::thread worker([&] {
        SendMessageW(bar.hwnd(), PBM_SETPOS, 50, 1);
        sent = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return sent.load(); }, 3000));
    worker.join();
    EXPECT_EQ(bar.GetPos(), 50);
    EXPECT_EQ(SendMessageW(bar.hwnd(), PBM_GETPOS, 0, 0), 50);
    const Picture picture = paintedNow(IDC_BAR_0);
    EXPECT_EQ(picture.at(0, kBarHeight / 2), kBarStart);
    EXPECT_EQ(picture.at(kBarWidth - 1, kBarHeight / 2), bar.GetBkColor());
}

TEST_F(GradientBar, PlainSetPositionMessageLeavesTheRecordedPosition) {
    CGradientProgressCtrl& bar = dialog.bar50;
    SendMessageW(bar.hwnd(), PBM_SETPOS, 80, 0);
    EXPECT_EQ(bar.GetPos(), 50);
    bar.SetPos(0);
    const Picture picture = paintedNow(IDC_BAR_50);
    EXPECT_EQ(picture.at(kBarWidth / 4, kBarHeight / 2), GetSysColor(COLOR_BTNFACE));
}

TEST_F(GradientBar, SetRangeLeavesTheBoundsAlone) {
    SendMessageW(dialog.bar100.hwnd(), PBM_SETRANGE32, 0, 200);
    EXPECT_EQ(dialog.bar100.GetLower(), 0);
    EXPECT_EQ(dialog.bar100.GetUpper(), 100);
}

// ---------------------------------------------------------------- buttons

using ImageButton = Gallery;

TEST_F(ImageButton, StandardImageIsDrawnOverTheParentBackground) {
    PatternImage pattern;
    ASSERT_TRUE(pattern.loaded());
    const Picture button = paintedNow(IDC_PLAIN_BUTTON);
    ASSERT_EQ(button.width(), kButtonWidth);
    for (int y = 0; y < kButtonHeight; ++y) {
        for (int x = 0; x < kOpaqueColumns; ++x) {
            const Gdiplus::Color expected = pattern.at(x, y);
            ASSERT_EQ(button.at(x, y), RGB(expected.GetR(), expected.GetG(), expected.GetB()))
                << x << "," << y;
        }
    }
    // The transparent band shows what lies behind the button: the dialog's white.
    EXPECT_EQ(dialogBackground(), RGB(255, 255, 255));
    EXPECT_EQ(button.at(kButtonWidth - 2, kButtonHeight / 2), dialogBackground());
}

TEST_F(ImageButton, PressedDrawsTheStandardImageOnePixelDownAndRight) {
    const Picture normal = paintedNow(IDC_PLAIN_BUTTON);
    SendMessageW(item(IDC_PLAIN_BUTTON), BM_SETSTATE, TRUE, 0);
    const Picture pressed = paintedNow(IDC_PLAIN_BUTTON);
    SendMessageW(item(IDC_PLAIN_BUTTON), BM_SETSTATE, FALSE, 0);
    for (int y = 0; y + 1 < kButtonHeight; ++y) {
        for (int x = 0; x + 1 < kOpaqueColumns; ++x) {
            ASSERT_EQ(pressed.at(x + 1, y + 1), normal.at(x, y)) << x << "," << y;
        }
    }
    // The first row and column now show the background.
    EXPECT_EQ(pressed.at(5, 0), dialogBackground());
    EXPECT_EQ(pressed.at(0, 5), dialogBackground());
    EXPECT_EQ(paintedNow(IDC_PLAIN_BUTTON).at(5, 0), normal.at(5, 0));
}

TEST_F(ImageButton, HoverTracksTheMouseAndShowsALighterPicture) {
    const Picture normal = paintedNow(IDC_PLAIN_BUTTON);
    ASSERT_TRUE(hover(dialog.plain)) << "no hover notification arrived";
    EXPECT_TRUE(dialog.plain.IsTracking());
    const Picture hot = paintedNow(IDC_PLAIN_BUTTON);
    for (int y = 0; y < kButtonHeight; ++y) {
        for (int x = 0; x < kOpaqueColumns; ++x) {
            const COLORREF n = normal.at(x, y), h = hot.at(x, y);
            const auto lighter = [](int c) { return std::min(255, static_cast<int>(c * 1.05 + 12.75)); };
            ASSERT_TRUE(closeTo(red(h), lighter(red(n)), 2) && closeTo(green(h), lighter(green(n)), 2) &&
                        closeTo(blue(h), lighter(blue(n)), 2))
                << x << "," << y;
        }
    }
    // No tooltip text, no tooltip.
    EXPECT_EQ(dialog.plain.ToolTip(), nullptr);

    parkCursor();
    ASSERT_TRUE(pumpUntil([&] { return !dialog.plain.IsHovering(); }, 3000))
        << "no leave notification arrived";
    EXPECT_FALSE(dialog.plain.IsTracking());
    EXPECT_EQ(paintedNow(IDC_PLAIN_BUTTON).at(10, 10), normal.at(10, 10));
}

TEST_F(ImageButton, OwnPressedAndHotImagesAreUsedWhenGiven) {
    const COLORREF standard = RGB(0x2e, 0x8b, 0x57), pressedColour = RGB(0x1b, 0x5e, 0x3a),
                   hotColour = RGB(0xd4, 0xa0, 0x17);
    EXPECT_EQ(paintedNow(IDC_FULL_BUTTON).at(3, 3), standard);
    SendMessageW(item(IDC_FULL_BUTTON), BM_SETSTATE, TRUE, 0);
    const Picture pressed = paintedNow(IDC_FULL_BUTTON);
    SendMessageW(item(IDC_FULL_BUTTON), BM_SETSTATE, FALSE, 0);
    EXPECT_EQ(pressed.at(3, 3), pressedColour);
    EXPECT_EQ(pressed.at(0, 5), dialogBackground());  // drawn at (1, 1) as well
    ASSERT_TRUE(hover(dialog.full));
    EXPECT_EQ(paintedNow(IDC_FULL_BUTTON).at(3, 3), hotColour);
}

TEST_F(ImageButton, HoverShowsTheTooltipWithItsText) {
    ASSERT_TRUE(hover(dialog.full));
    const HWND tip = dialog.full.ToolTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    wchar_t text[128] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = dialog.full.hwnd();
    tool.uId = 1;
    tool.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, L"A button with its own pressed and hot images");
}

TEST_F(ImageButton, DisabledLookIsTheGreyPicture) {
    PatternImage pattern;
    ASSERT_TRUE(pattern.loaded());
    const Picture grey = paintedNow(IDC_DISABLED_BUTTON);
    for (int y = 0; y < kButtonHeight; ++y) {
        for (int x = 0; x < kOpaqueColumns; ++x) {
            const Gdiplus::Color c = pattern.at(x, y);
            const int luma = static_cast<int>(0.3 * c.GetR() + 0.59 * c.GetG() + 0.11 * c.GetB());
            const COLORREF p = grey.at(x, y);
            ASSERT_TRUE(closeTo(red(p), luma, 2) && closeTo(green(p), luma, 2) && closeTo(blue(p), luma, 2))
                << x << "," << y;
        }
    }
    dialog.disabled.SetDisabled(false);
    const Picture enabled = paintedNow(IDC_DISABLED_BUTTON);
    EXPECT_NE(red(enabled.at(40, 10)), green(enabled.at(40, 10)));
}

TEST_F(ImageButton, DisabledWindowShowsTheDisabledLook) {
    EnableWindow(item(IDC_PLAIN_BUTTON), FALSE);
    const Picture picture = paintedNow(IDC_PLAIN_BUTTON);
    EnableWindow(item(IDC_PLAIN_BUTTON), TRUE);
    const COLORREF p = picture.at(40, 10);
    EXPECT_TRUE(closeTo(red(p), green(p), 1) && closeTo(green(p), blue(p), 1));
}

TEST_F(ImageButton, ToggleFlipsToTheAlternateImageAtEachPress) {
    const COLORREF standard = RGB(0x2e, 0x8b, 0x57), alternate = RGB(0x6a, 0x3d, 0x9a);
    EXPECT_EQ(paintedNow(IDC_TOGGLE_BUTTON).at(3, 3), standard);
    SendMessageW(item(IDC_TOGGLE_BUTTON), BM_CLICK, 0, 0);
    pump(30);
    EXPECT_TRUE(dialog.toggle.IsToggled());
    EXPECT_EQ(paintedNow(IDC_TOGGLE_BUTTON).at(3, 3), alternate);
    // Repainting while nothing is pressed keeps the state.
    EXPECT_EQ(paintedNow(IDC_TOGGLE_BUTTON).at(3, 3), alternate);
    SendMessageW(item(IDC_TOGGLE_BUTTON), BM_CLICK, 0, 0);
    pump(30);
    EXPECT_FALSE(dialog.toggle.IsToggled());
    EXPECT_EQ(paintedNow(IDC_TOGGLE_BUTTON).at(3, 3), standard);
    EXPECT_EQ(dialog.clicks[clickIndex(IDC_TOGGLE_BUTTON)], 2);
}

// Regression: the toggle flipped while a pressed button was drawn, so each
// repaint during a press flipped it again, and a click over before the
// button was ever drawn pressed did not flip it at all.
TEST_F(ImageButton, ToggleFlipsOncePerPressWhateverIsPainted) {
    SendMessageW(item(IDC_TOGGLE_BUTTON), BM_SETSTATE, TRUE, 0);
    paintedNow(IDC_TOGGLE_BUTTON);
    paintedNow(IDC_TOGGLE_BUTTON);
    SendMessageW(item(IDC_TOGGLE_BUTTON), BM_SETSTATE, FALSE, 0);
    EXPECT_TRUE(dialog.toggle.IsToggled());
    // Down and up with no paint in between.
    SendMessageW(item(IDC_TOGGLE_BUTTON), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(item(IDC_TOGGLE_BUTTON), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(dialog.toggle.IsToggled());
}

TEST_F(ImageButton, QuickSecondClickCountsAsASecondPress) {
    const HWND button = item(IDC_FULL_BUTTON);
    const LPARAM middle = MAKELPARAM(10, 10);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    SendMessageW(button, WM_LBUTTONUP, 0, middle);
    SendMessageW(button, WM_LBUTTONDBLCLK, MK_LBUTTON, middle);
    SendMessageW(button, WM_LBUTTONUP, 0, middle);
    pump(30);
    EXPECT_EQ(dialog.clicks[clickIndex(IDC_FULL_BUTTON)], 2);
}

TEST_F(ImageButton, MissingImageLoadsNothingAndPreparesNoPictures) {
    EXPECT_FALSE(dialog.brokenLoaded);
    paintedNow(IDC_BROKEN_BUTTON);
    EXPECT_FALSE(dialog.broken.HaveBitmaps());
}

// ---------------------------------------------------------------- screenshot

// Shows the widgets in their states side by side and saves the window as a
// PNG: to the path in SALVORA_GALLERY_SHOT, else widget-gallery.png here.
TEST_F(Gallery, ScreenshotShowsEveryWidget) {
    SendMessageW(item(IDC_TOGGLE_BUTTON), BM_CLICK, 0, 0);
    dialog.SetDlgItemText(
        IDC_FOLDER_STATUS, L"Folder status line: " + [] {
            const std::u16string shortText =
                shortenedStatusText(u"C:\\Users\\Photographer\\Pictures\\Holidays 2024");
            return std::wstring(shortText.begin(), shortText.end());
        }());
    ASSERT_TRUE(hover(dialog.full));
    RedrawWindow(dialog.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump(100);
    const Picture shot = Picture::ofWindow(dialog.hwnd());
    const wchar_t* target = _wgetenv(L"SALVORA_GALLERY_SHOT");
    const std::wstring path = target && *target ? target : L"widget-gallery.png";
    ASSERT_TRUE(shot.savePng(path));
    EXPECT_GT(GetFileAttributesW(path.c_str()), 0u);
}

}  // namespace
}  // namespace salvora::widgets::test

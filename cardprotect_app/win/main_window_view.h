// The controls of the main window and how they show the window logic's
// ViewState: texts, enabled and selected buttons, the Lock caption and its
// image set, the status display with its colours and its frozen-card offset,
// drive labels, tooltips, the panel frame; and the window's look: background
// colour, the three pictures, fonts and label colours.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "card_button.h"
#include "cardprotect_app/core/view_state.h"
#include "tool_tip.h"
#include "widgets/gdiplus_bitmap_resource.h"

namespace salvora::lockwright {

class MainWindowView {
  public:
    MainWindowView();
    ~MainWindowView();
    MainWindowView(const MainWindowView&) = delete;
    MainWindowView& operator=(const MainWindowView&) = delete;

    // Takes over the controls of `dialog`, loads the pictures, makes the
    // fonts and tooltips and keeps the starting places of the status display
    // and its caption.
    void Attach(HWND dialog);

    // Shows `view`; `cardType` decides whether the status caption moves with
    // the status display. Only what changed is touched.
    void Show(const cardprotect::ViewState& view, cardprotect::CardType cardType);
    // Shows a new text in the information line.
    void ShowInfoLine(const std::string& text);

    // The window's background with its three pictures, into `dc` (whose
    // viewport may be shifted, as for a button that paints what lies behind it).
    void PaintBackground(HDC dc) const;
    // WM_CTLCOLOR* of the dialog: the brush, with text colours set on `dc`.
    HBRUSH ControlColour(UINT message, HDC dc, HWND control) const;
    // WM_DRAWITEM of the owner-drawn statics (pictures, drive labels, frame).
    // False for any other control.
    bool DrawItem(const DRAWITEMSTRUCT& item);
    // Repaints the drive labels, which lie on top of the SD and CF buttons.
    void RepaintLabels() const;

    HWND PanelFrame() const;

  private:
    struct Picture {
        int id;
        std::unique_ptr<widgets::CGdiPlusBitmapResource> image;
    };

    void AttachButtons();
    void ShowActionButton(CCardButton& button, const cardprotect::ButtonView& view);
    void ShowText(int id, const std::string& text, const std::string& shown);
    void ShowStatus(const cardprotect::ViewState& view, cardprotect::CardType cardType);
    void Place(int id, const RECT& saved, int offset) const;
    RECT ControlRect(int id) const;
    void DrawLabel(const DRAWITEMSTRUCT& item, CCardButton& under);

    HWND m_hDlg = nullptr;
    CCardButton m_cSd, m_cCf, m_cDecoration, m_cExit, m_cLock, m_cRemove, m_cErase;
    ToolTip m_tipLock, m_tipRemove, m_tipErase;
    Picture m_pictures[3];
    HBRUSH m_hBackground = nullptr;
    HBRUSH m_hPanelColour = nullptr;
    HFONT m_hInfoFont = nullptr;
    HFONT m_hStatusFont = nullptr;
    HFONT m_hLabelFont = nullptr;
    RECT m_rcStatus{};         // saved placement of the status display
    RECT m_rcStatusCaption{};  // saved placement of "Current status:"
    cardprotect::ViewState m_shown;
    cardprotect::CardType m_shownCardType = cardprotect::CardType::kNone;
    bool m_bShownOnce = false;
};

}  // namespace salvora::lockwright

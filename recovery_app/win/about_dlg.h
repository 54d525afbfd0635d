// The about box, in two variants: CAboutDlg with a link to the maker's
// contact page, and CAboutDlg2K for Windows 2000, which lacks the link
// control and shows the address as text. Both show the version and a notice
// of 14 lines that scrolls three at a time.
#pragma once

#include "recovery_app/win/picture_controls.h"
#include "widgets/dialog_base.h"

namespace salvora {

class AboutBoxBase : public widgets::DialogBase {
  protected:
    explicit AboutBoxBase(UINT templateId, HWND parent);
    BOOL OnInitDialog() override;

  private:
    void OnScroll(WPARAM request);
    void ShowNotice(int first);

    CBitmapButton m_btnPicture;
};

class CAboutDlg : public AboutBoxBase {
  public:
    explicit CAboutDlg(HWND parent);

  protected:
    BOOL OnInitDialog() override;

  private:
    INT_PTR OnNotify(const NMHDR& header);
};

class CAboutDlg2K : public AboutBoxBase {
  public:
    explicit CAboutDlg2K(HWND parent);

  protected:
    BOOL OnInitDialog() override;
};

// Shows the about box that suits the running system; none on systems older
// than Windows 2000.
void showAboutBox(HWND parent);

}  // namespace salvora

// The end-user agreement, shown until the user accepts it once.
#pragma once

#include "widgets/dialog_base.h"
#include "widgets/gdip_button.h"

namespace salvora {

class CAgreeDlg : public widgets::DialogBase {
  public:
    // DoModal gives IDOK when the user accepts ("I Agree") and IDCANCEL when
    // the user refuses ("I Disagree", Escape or the close box).
    CAgreeDlg();
    ~CAgreeDlg() override;

  protected:
    BOOL OnInitDialog() override;

  private:
    INT_PTR SlateColour(WPARAM dc) const;

    widgets::CGdipButton m_btnAgree;
    widgets::CGdipButton m_btnDisagree;
    HICON m_hIcon = nullptr;
    HBRUSH m_hSlate = nullptr;
};

}  // namespace salvora

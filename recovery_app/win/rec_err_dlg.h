// The error dialog that refuses a destination on the disk being recovered:
// an illustration of saving elsewhere, the message, and "Back".
#pragma once

#include <string>

#include "widgets/dialog_base.h"
#include "widgets/gdip_button.h"

namespace salvora {

class RecErrDlg : public widgets::DialogBase {
  public:
    // DoModal shows `text` and returns when the picture or "Back" is pressed.
    RecErrDlg(std::wstring text, HWND parent);

  protected:
    BOOL OnInitDialog() override;

  private:
    std::wstring m_strText;
    widgets::CGdipButton m_btnPicture;
};

}  // namespace salvora

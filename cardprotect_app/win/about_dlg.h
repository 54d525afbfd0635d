// The About box of the system menu: "About Cardwarden", the program's icon,
// "Cardwarden, Version 1.0" and an OK button.
#pragma once

#include "widgets/dialog_base.h"

namespace salvora::lockwright {

class CAboutDlg : public widgets::DialogBase {
  public:
    explicit CAboutDlg(HWND owner);
};

}  // namespace salvora::lockwright

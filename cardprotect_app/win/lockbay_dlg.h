// The main window of lockwright.exe.
#pragma once

#include "widgets/dialog_base.h"
#include "widgets/gdip_button.h"

namespace salvora {

class CLockbayDlg : public widgets::DialogBase {
public:
    CLockbayDlg();

protected:
    BOOL OnInitDialog() override;

private:
    widgets::CGdipButton m_cClose;
    HICON m_hIcon = nullptr;
};

}  // namespace salvora

// The main window of salvora.exe.
#pragma once

#include "widgets/dialog_base.h"
#include "widgets/gdip_button.h"
#include "widgets/gradient_progress_ctrl.h"

namespace salvora {

class CHarvexDlg : public widgets::DialogBase {
public:
    CHarvexDlg();

protected:
    BOOL OnInitDialog() override;

private:
    widgets::CGradientProgressCtrl m_cProgress;
    widgets::CGdipButton m_cAgree;
    HICON m_hIcon = nullptr;
};

}  // namespace salvora

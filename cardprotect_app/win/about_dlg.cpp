#include "about_dlg.h"

#include "resource.h"

namespace salvora::lockwright {

CAboutDlg::CAboutDlg(HWND owner) : DialogBase(IDD_ABOUTBOX, owner) {}

}  // namespace salvora::lockwright

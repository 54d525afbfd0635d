#include "cardprotect_app/win/lockbay_dlg.h"

#include "cardprotect_app/win/resource.h"

namespace salvora {

CLockbayDlg::CLockbayDlg() : DialogBase(IDD_LOCKWRIGHT_DIALOG) {
    OnCommand(IDC_CLOSE_BUTTON, BN_CLICKED, [this] { EndDialog(IDOK); });
}

BOOL CLockbayDlg::OnInitDialog() {
    m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    m_cClose.SubclassDlgItem(IDC_CLOSE_BUTTON, hwnd());
    m_cClose.LoadStdImage(IDB_CLOSE, L"PNG");
    m_cClose.LoadStdPImage(IDB_CLOSE_PRESSED, L"PNG");
    m_cClose.LoadStdHImage(IDB_CLOSE_HOT, L"PNG");
    return TRUE;
}

}  // namespace salvora

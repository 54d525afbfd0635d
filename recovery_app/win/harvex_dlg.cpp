#include "recovery_app/win/harvex_dlg.h"

#include <string>

#include "formats/family_table.h"
#include "recovery_app/win/resource.h"

namespace salvora {

CHarvexDlg::CHarvexDlg() : DialogBase(IDD_SALVORA_DIALOG) {
    OnCommand(IDC_AGREE, BN_CLICKED, [this] { EndDialog(IDOK); });
}

BOOL CHarvexDlg::OnInitDialog() {
    m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    SetDlgItemText(IDC_STATUS_TEXT, L"Salvora 1.4.0 recognises " + std::to_wstring(kFamilyCount) +
                                        L" families of files.");
    m_cProgress.SubclassDlgItem(IDC_PROGRESS, hwnd());
    m_cProgress.SetStartColor(RGB(255, 30, 60));
    m_cProgress.SetEndColor(RGB(210, 210, 210));
    m_cProgress.SetPos(100);

    m_cAgree.SubclassDlgItem(IDC_AGREE, hwnd());
    m_cAgree.LoadStdImage(IDB_AGREE, L"PNG");
    m_cAgree.LoadStdPImage(IDB_AGREE_PRESSED, L"PNG");
    m_cAgree.LoadStdHImage(IDB_AGREE_HOT, L"PNG");
    return TRUE;
}

}  // namespace salvora

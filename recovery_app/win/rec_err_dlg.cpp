#include "recovery_app/win/rec_err_dlg.h"

#include "recovery_app/win/resource.h"

namespace salvora {

RecErrDlg::RecErrDlg(std::wstring text, HWND parent)
    : DialogBase(IDD_REC_ERR, parent), m_strText(std::move(text)) {
    OnCommand(IDC_ERROR_PICTURE, BN_CLICKED, [this] { EndDialog(IDOK); });
}

BOOL RecErrDlg::OnInitDialog() {
    m_btnPicture.SubclassDlgItem(IDC_ERROR_PICTURE, hwnd());
    m_btnPicture.LoadStdImage(IDB_ERROR_PICTURE, L"PNG");
    SetDlgItemText(IDC_ERROR_TEXT, m_strText);
    return TRUE;
}

}  // namespace salvora

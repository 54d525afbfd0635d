#include "recovery_app/win/agree_dlg.h"

#include <richedit.h>

#include "recovery_app/core/agreement_text_win.h"
#include "recovery_app/win/resource.h"

namespace salvora {

namespace {
// The dark slate of the agreement's window.
constexpr COLORREF kSlate = RGB(46, 54, 66);
}  // namespace

CAgreeDlg::CAgreeDlg() : DialogBase(IDD_AGREE), m_hSlate(CreateSolidBrush(kSlate)) {
    const auto slate = [this](WPARAM dc, LPARAM) { return SlateColour(dc); };
    OnMessage(WM_CTLCOLORDLG, slate);
    OnMessage(WM_CTLCOLORSTATIC, slate);
}

CAgreeDlg::~CAgreeDlg() {
    if (m_hSlate)
        DeleteObject(m_hSlate);
}

INT_PTR CAgreeDlg::SlateColour(WPARAM dc) const {
    SetBkColor(reinterpret_cast<HDC>(dc), kSlate);
    SetTextColor(reinterpret_cast<HDC>(dc), RGB(255, 255, 255));
    return reinterpret_cast<INT_PTR>(m_hSlate);
}

BOOL CAgreeDlg::OnInitDialog() {
    m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    const HWND text = GetDlgItem(IDC_AGREEMENT_TEXT);
    SendMessageW(text, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
    SendMessageW(text, EM_AUTOURLDETECT, TRUE, 0);
    SendMessageW(text, EM_SETTARGETDEVICE, 0, 0);  // wrap lines at the window's edge
    SetWindowTextW(text, agreementWideText().c_str());
    SendMessageW(text, EM_SETSEL, 0, 0);  // the reader starts at the top, nothing selected

    m_btnAgree.SubclassDlgItem(IDOK, hwnd());
    m_btnAgree.LoadStdImage(IDB_AGREE, L"PNG");
    m_btnAgree.LoadStdPImage(IDB_AGREE_PRESSED, L"PNG");
    m_btnAgree.LoadStdHImage(IDB_AGREE_HOT, L"PNG");
    m_btnDisagree.SubclassDlgItem(IDCANCEL, hwnd());
    m_btnDisagree.LoadStdImage(IDB_DISAGREE, L"PNG");
    m_btnDisagree.LoadStdPImage(IDB_DISAGREE_PRESSED, L"PNG");
    m_btnDisagree.LoadStdHImage(IDB_DISAGREE_HOT, L"PNG");
    SetFocus(m_btnAgree.hwnd());
    return FALSE;  // the focus is set
}

}  // namespace salvora

#include "pwd_dlg.h"

#include "cardprotect_app/core/view_state.h"
#include "resource.h"

namespace salvora::lockwright {

namespace {

const COLORREF kPanelColour = RGB(63, 69, 79);
const COLORREF kFieldColour = RGB(255, 255, 255);

// Far more than a password may have: nothing typed or pasted is cut, and OK
// refuses a password that is too long instead.
constexpr int kFieldLimit = 256;

}  // namespace

CPwdDlg::CPwdDlg(const cardprotect::PanelSettings& settings, HWND frame, PanelOwner& owner)
    : DialogBase(IDD_PASSWORD_PANEL, frame), m_settings(settings), m_owner(owner) {
    m_hPanelBrush = CreateSolidBrush(kPanelColour);
    m_hFieldBrush = CreateSolidBrush(kFieldColour);
    // Any change of either field, typed, pasted or cut, updates the match mark.
    OnCommand(IDC_PASSWORD, EN_CHANGE, [this] { m_cPassword.UpdateMatchMark(); });
    OnCommand(IDC_PASSWORD_AGAIN, EN_CHANGE, [this] { m_cAgain.UpdateMatchMark(); });
}

CPwdDlg::~CPwdDlg() {
    if (hwnd())
        DestroyWindow(hwnd());  // before the fields and buttons let go of their windows
    DeleteObject(m_hPanelBrush);
    DeleteObject(m_hFieldBrush);
}

bool CPwdDlg::Open() {
    if (!Create())
        return false;
    SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(hwnd(), SW_SHOW);
    SetFocus(GetDlgItem(IDC_PASSWORD));
    return true;
}

BOOL CPwdDlg::OnInitDialog() {
    SetUpFields();
    SetUpButtons();
    return FALSE;  // Open gives the focus
}

void CPwdDlg::SetUpFields() {
    const bool setMode = m_settings.setMode;
    for (int id : {IDC_PASSWORD, IDC_PASSWORD_AGAIN}) {
        SendDlgItemMessage(id, EM_LIMITTEXT, kFieldLimit);
        SendDlgItemMessage(id, EM_SETPASSWORDCHAR, setMode ? 0 : L'*');
    }
    m_cPassword.SubclassDlgItem(IDC_PASSWORD, hwnd());
    m_cAgain.SubclassDlgItem(IDC_PASSWORD_AGAIN, hwnd());
    const CEditCus::Peers peers{setMode, GetDlgItem(IDC_PASSWORD), GetDlgItem(IDC_PASSWORD_AGAIN),
                                GetDlgItem(IDC_MATCH_MARK)};
    m_cPassword.SetPeers(peers, setMode);
    m_cAgain.SetPeers(peers, false);
    if (!setMode) {
        ShowWindow(GetDlgItem(IDC_PASSWORD_AGAIN), SW_HIDE);
        EnableDlgItem(IDC_PASSWORD_AGAIN, false);
        ShowWindow(GetDlgItem(IDC_PASSWORD_AGAIN_ROW), SW_HIDE);
    }
}

void CPwdDlg::SetUpButtons() {
    m_cPasswordRow.SubclassDlgItem(IDC_PASSWORD_ROW, hwnd());
    m_cPasswordRow.LoadSinglePicture(IDB_PASSWORD_ROW);
    m_cAgainRow.SubclassDlgItem(IDC_PASSWORD_AGAIN_ROW, hwnd());
    m_cAgainRow.LoadSinglePicture(IDB_PASSWORD_AGAIN_ROW);
    m_cOk.SubclassDlgItem(IDOK, hwnd());
    m_cOk.LoadImageSet(1, IDB_OK);
    m_cMatchMark.SubclassDlgItem(IDC_MATCH_MARK, hwnd());
    // Set mode: a disabled mark, visible while both fields agree. Entry mode:
    // no picture and no function, so it is not shown at all.
    m_cMatchMark.LoadSinglePicture(IDB_MATCH_MARK);
    EnableDlgItem(IDC_MATCH_MARK, false);
    ShowWindow(GetDlgItem(IDC_MATCH_MARK), SW_HIDE);
}

void CPwdDlg::Accept() {
    if (!Accepting())
        return;
    cardprotect::PasswordEntry entry;
    entry.password = m_cPassword.Text();
    if (m_settings.setMode)
        entry.confirmation = m_cAgain.Text();
    const cardprotect::PanelResult result =
        cardprotect::acceptPassword(m_settings, entry, m_owner.MessageUi());
    if (!hwnd())
        return;  // the card went away while a message was shown: the panel is closed
    if (result.verdict == cardprotect::PanelVerdict::kDeclined) {
        SendMessageW(m_owner.OwnerWindow(), cardprotect::kWmSecurityDone,
                     static_cast<WPARAM>(static_cast<int>(m_settings.cardType)), 0);
        return;
    }
    if (result.verdict != cardprotect::PanelVerdict::kAccepted) {
        SetFocus(GetDlgItem(IDC_PASSWORD));
        return;
    }
    m_bAccepted = true;
    ShowWindow(GetDlgItem(IDOK), SW_HIDE);
    ShowWindow(GetDlgItem(IDC_MATCH_MARK), SW_HIDE);
    m_cPassword.BlockKeys();
    m_cAgain.BlockKeys();
    m_owner.StartWorker(m_settings.worker, result.password);
}

bool CPwdDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    const HDC dc = reinterpret_cast<HDC>(wParam);
    switch (message) {
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
            result = reinterpret_cast<INT_PTR>(m_hPanelBrush);
            return true;
        case WM_CTLCOLOREDIT:
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkColor(dc, kFieldColour);
            result = reinterpret_cast<INT_PTR>(m_hFieldBrush);
            return true;
        case WM_ERASEBKGND:
        case WM_PRINTCLIENT: {
            RECT client{};
            GetClientRect(hwnd(), &client);
            FillRect(dc, &client, m_hPanelBrush);
            result = TRUE;
            return true;
        }
        default:
            return false;
    }
}

}  // namespace salvora::lockwright

#include "recovery_app/win/about_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include "media/text_win.h"
#include "recovery_app/core/about_notice.h"
#include "recovery_app/win/resource.h"
#include "recovery_app/win/window_text.h"

namespace salvora {

namespace {

constexpr int kNoticeIds[kVisibleNoticeLines] = {IDC_NOTICE_1, IDC_NOTICE_2, IDC_NOTICE_3};

AboutVariant runningVariant() {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
        return AboutVariant::kNone;
#pragma GCC diagnostic pop
    return aboutVariantFor(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion);
}

std::wstring contactText(bool asLink) {
    const std::wstring address = widen(kContactAddress);
    if (!asLink)
        return L"Contact Info: " + address;
    return L"Contact Info: <a href=\"" + address + L"\">" + address + L"</a>";
}

}  // namespace

AboutBoxBase::AboutBoxBase(UINT templateId, HWND parent) : DialogBase(templateId, parent) {
    OnMessage(WM_VSCROLL, [this](WPARAM request, LPARAM) {
        OnScroll(request);
        return FALSE;  // the default handling follows
    });
}

BOOL AboutBoxBase::OnInitDialog() {
    SetDlgItemText(IDC_VERSION_TEXT, widen(aboutVersionText(productName(), programVersion())));
    const HWND bar = GetDlgItem(IDC_NOTICE_SCROLL);
    SetScrollRange(bar, SB_CTL, 0, kLastNoticePosition, TRUE);
    SetScrollPos(bar, SB_CTL, 0, TRUE);
    ShowNotice(0);
    m_btnPicture.SubclassDlgItem(IDOK, hwnd());
    m_btnPicture.LoadBitmaps(IDB_ABOUT_PICTURE, IDB_ABOUT_PICTURE, IDB_ABOUT_PICTURE);
    return TRUE;
}

void AboutBoxBase::OnScroll(WPARAM request) {
    const HWND bar = GetDlgItem(IDC_NOTICE_SCROLL);
    const int position =
        scrollNotice(GetScrollPos(bar, SB_CTL), LOWORD(request), static_cast<short>(HIWORD(request)));
    SetScrollPos(bar, SB_CTL, position, TRUE);
    ShowNotice(position);
}

void AboutBoxBase::ShowNotice(int first) {
    for (int line = 0; line < kVisibleNoticeLines; ++line) {
        SetDlgItemText(kNoticeIds[line], widen(noticeLines()[static_cast<size_t>(first + line)]));
    }
}

CAboutDlg::CAboutDlg(HWND parent) : AboutBoxBase(IDD_ABOUTBOX, parent) {
    OnMessage(WM_NOTIFY,
              [this](WPARAM, LPARAM header) { return OnNotify(*reinterpret_cast<NMHDR*>(header)); });
}

BOOL CAboutDlg::OnInitDialog() {
    AboutBoxBase::OnInitDialog();
    SetDlgItemText(IDC_CONTACT_LINK, contactText(true));
    return TRUE;
}

INT_PTR CAboutDlg::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_CONTACT_LINK || (header.code != NM_CLICK && header.code != NM_RETURN))
        return FALSE;
    const auto& link = reinterpret_cast<const NMLINK&>(header);
    ShellExecuteW(nullptr, L"open", link.item.szUrl, nullptr, nullptr, SW_SHOWNORMAL);
    SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
    return TRUE;
}

CAboutDlg2K::CAboutDlg2K(HWND parent) : AboutBoxBase(IDD_ABOUTBOX_2K, parent) {}

BOOL CAboutDlg2K::OnInitDialog() {
    AboutBoxBase::OnInitDialog();
    SetDlgItemText(IDC_CONTACT_TEXT, contactText(false));
    return TRUE;
}

void showAboutBox(HWND parent) {
    switch (runningVariant()) {
        case AboutVariant::kWindows2000: {
            CAboutDlg2K box(parent);
            box.DoModal();
            break;
        }
        case AboutVariant::kStandard: {
            CAboutDlg box(parent);
            box.DoModal();
            break;
        }
        case AboutVariant::kNone:
            break;
    }
}

}  // namespace salvora

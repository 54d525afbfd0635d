#include "gallery/gallery_dialog.h"

#include "gallery/gallery_resource.h"

namespace salvora::widgets::test {

namespace {
constexpr int kButtonIds[] = {IDC_PLAIN_BUTTON, IDC_FULL_BUTTON, IDC_TOGGLE_BUTTON, IDC_DISABLED_BUTTON,
                              IDC_BROKEN_BUTTON};
}  // namespace

int clickIndex(int id) {
    for (int i = 0; i < 5; ++i) {
        if (kButtonIds[i] == id)
            return i;
    }
    return 5;
}

GalleryDialog::GalleryDialog() : DialogBase(IDD_GALLERY) {
    for (int id : kButtonIds) {
        OnCommand(id, BN_CLICKED, [this, id] { ++clicks[clickIndex(id)]; });
    }
    // A white window, so the bar at 0 stands out in button-face grey and the
    // buttons' transparent parts show a background of the dialog's choosing.
    const auto white = [](WPARAM, LPARAM) { return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH)); };
    OnMessage(WM_CTLCOLORDLG, white);
    OnMessage(WM_CTLCOLORSTATIC, white);
}

void GalleryDialog::Place(int id, int x, int y, int width, int height) const {
    SetWindowPos(GetDlgItem(id), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void GalleryDialog::SetUpBar(CGradientProgressCtrl& bar, int id, int position) {
    bar.SubclassDlgItem(id, hwnd());
    bar.SetStartColor(kBarStart);
    bar.SetEndColor(kBarEnd);
    bar.SetPos(position);
}

BOOL GalleryDialog::OnInitDialog() {
    const int buttonsTop = kMargin + 20;
    Place(IDC_CAPTION_BUTTONS, kMargin, kMargin, kBarWidth + 40, 16);
    int x = kMargin;
    for (int id : kButtonIds) {
        Place(id, x, buttonsTop, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kMargin;
    }
    const int barsTop = buttonsTop + kButtonHeight + 2 * kMargin;
    Place(IDC_CAPTION_BARS, kMargin, barsTop, kBarWidth + 40, 16);
    const int barIds[] = {IDC_BAR_0, IDC_BAR_50, IDC_BAR_100, IDC_BAR_TEXT};
    for (int i = 0; i < 4; ++i)
        Place(barIds[i], kMargin, barsTop + 20 + i * (kBarHeight + 8), kBarWidth, kBarHeight);
    const int statusTop = barsTop + 20 + 4 * (kBarHeight + 8) + 4;
    Place(IDC_FOLDER_STATUS, kMargin, statusTop, kBarWidth + 40, 16);
    RECT client{0, 0, kBarWidth + 2 * kMargin + 40, statusTop + 16 + kMargin};
    AdjustWindowRectEx(&client, GetWindowLongW(hwnd(), GWL_STYLE), FALSE,
                       GetWindowLongW(hwnd(), GWL_EXSTYLE));
    SetWindowPos(hwnd(), nullptr, 40, 40, client.right - client.left, client.bottom - client.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    plain.SubclassDlgItem(IDC_PLAIN_BUTTON, hwnd());
    plain.LoadStdImage(IDB_PATTERN, L"PNG");

    full.SubclassDlgItem(IDC_FULL_BUTTON, hwnd());
    full.LoadStdImage(IDB_FULL, L"PNG");
    full.LoadStdPImage(IDB_FULL_PRESSED, L"PNG");
    full.LoadStdHImage(IDB_FULL_HOT, L"PNG");
    full.SetToolTipText(L"A button with its own pressed and hot images");

    toggle.SubclassDlgItem(IDC_TOGGLE_BUTTON, hwnd());
    toggle.LoadStdImage(IDB_FULL, L"PNG");
    toggle.LoadAltImage(IDB_TOGGLE_ALT, L"PNG");
    toggle.EnableToggle(true);

    disabled.SubclassDlgItem(IDC_DISABLED_BUTTON, hwnd());
    disabled.LoadStdImage(IDB_PATTERN, L"PNG");
    disabled.SetDisabled(true);

    broken.SubclassDlgItem(IDC_BROKEN_BUTTON, hwnd());
    brokenLoaded = broken.LoadStdImage(IDB_MISSING, L"PNG");

    SetUpBar(bar0, IDC_BAR_0, 0);
    SetUpBar(bar50, IDC_BAR_50, 50);
    SetUpBar(bar100, IDC_BAR_100, 100);
    SetUpBar(barText, IDC_BAR_TEXT, 100);
    barText.SetShowText(true);
    return TRUE;
}

}  // namespace salvora::widgets::test

#include "recovery_app/win/harvex_dlg.h"

#include <string>

#include "media/error_text.h"
#include "media/text_win.h"
#include "recovery_app/core/about_notice.h"
#include "recovery_app/core/elapsed_time.h"
#include "recovery_app/core/messages.h"
#include "recovery_app/core/settings_form.h"
#include "recovery_app/core/volumes_win.h"
#include "recovery_app/win/about_dlg.h"
#include "recovery_app/win/resource.h"
#include "recovery_app/win/setting_dlg.h"
#include "recovery_app/win/window_text.h"
#include "widgets/message_box.h"

namespace salvora {

namespace {

struct ButtonFaces {
    int id;
    UINT up, down, focused;
};
constexpr ButtonFaces kButtonFaces[] = {
    {IDC_SETTINGS, IDB_SETTINGS_UP, IDB_SETTINGS_DOWN, IDB_SETTINGS_FOCUS},
    {IDC_RECOVER, IDB_RECOVER_UP, IDB_RECOVER_DOWN, IDB_RECOVER_FOCUS},
    {IDC_FORMAT_TOOL, IDB_FORMAT_UP, IDB_FORMAT_DOWN, IDB_FORMAT_FOCUS},
    {IDC_PROTECTION_TOOL, IDB_PROTECT_UP, IDB_PROTECT_DOWN, IDB_PROTECT_FOCUS},
    {IDC_BLANK, IDB_BLANK, IDB_BLANK, IDB_BLANK},
    {IDC_ABOUT, IDB_ABOUT_UP, IDB_ABOUT_DOWN, IDB_ABOUT_FOCUS},
    {IDCANCEL, IDB_EXIT_UP, IDB_EXIT_DOWN, IDB_EXIT_FOCUS},
};

void clearList(HWND list) {
    ListView_DeleteAllItems(list);
    while (ListView_DeleteColumn(list, 0)) {
    }
}

void addColumn(HWND list, int index, const wchar_t* title, int width, int format) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(title);
    column.iSubItem = index;
    ListView_InsertColumn(list, index, &column);
}

void addRow(HWND list, int row, const std::vector<std::wstring>& cells) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(cells[0].c_str());
    const int index = ListView_InsertItem(list, &item);
    for (size_t column = 1; column < cells.size(); ++column) {
        ListView_SetItemText(list, index, static_cast<int>(column),
                             const_cast<wchar_t*>(cells[column].c_str()));
    }
}

}  // namespace

CHarvexDlg::CHarvexDlg(ScanContext& context, const std::vector<ImageArgument>& images)
    : DialogBase(IDD_SALVORA_DIALOG), m_scanContext(context), m_images(images) {
    m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    OnCommand(IDC_RECOVER, BN_CLICKED, [this] { OnRecover(); });
    OnCommand(IDC_SETTINGS, BN_CLICKED, [this] { OnSettings(); });
    OnCommand(IDC_ABOUT, BN_CLICKED, [this] { OnAbout(); });
    OnCommand(IDC_FORMAT_TOOL, BN_CLICKED, [this] { OnFormatTool(); });
    OnCommand(IDC_PROTECTION_TOOL, BN_CLICKED, [this] { OnProtectionTool(); });
    OnCommand(IDC_BLANK, BN_CLICKED, [] {});
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) {
        OnPaint();
        return TRUE;
    });
    OnMessage(WM_ERASEBKGND, [](WPARAM, LPARAM) { return TRUE; });  // the paint covers everything
    OnMessage(WM_QUERYDRAGICON, [this](WPARAM, LPARAM) { return reinterpret_cast<INT_PTR>(m_hIcon); });
    OnMessage(WM_TIMER, [this](WPARAM id, LPARAM) {
        if (id != IDT_ELAPSED)
            return FALSE;
        OnElapsedTimer();
        return TRUE;
    });
    OnMessage(WM_DEVICECHANGE, [this](WPARAM, LPARAM) {
        if (!m_hScanThread)
            RefreshDiskList();
        return FALSE;  // the default handling follows
    });
    OnMessage(WM_UPDATE_FILE_COUNT, [this](WPARAM, LPARAM) {
        SetDlgItemText(IDC_FILE_COUNT, std::to_wstring(m_nRecoveredFiles));
        return TRUE;
    });
    OnMessage(WM_SCAN_PROGRESS_SHOWN, [this](WPARAM, LPARAM) {
        // The bar now shows the progress in place of "Detecting...".
        ShowWindow(GetDlgItem(IDC_DETECTING), SW_HIDE);
        return TRUE;
    });
    OnMessage(WM_SCAN_FINISHED, [this](WPARAM result, LPARAM) {
        OnScanFinished(static_cast<int32_t>(result));
        return TRUE;
    });
    OnMessage(WM_NOTIFY,
              [this](WPARAM, LPARAM header) { return OnNotify(*reinterpret_cast<NMHDR*>(header)); });
}

CHarvexDlg::~CHarvexDlg() {
    if (m_hLabelFont)
        DeleteObject(m_hLabelFont);
}

BOOL CHarvexDlg::OnInitDialog() {
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetCaptionFromVersion();
    m_bmpBackground.Load(IDB_BACKGROUND);
    m_hLabelFont = CreateFontW(16, 0, 0, 0, 900, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                               CLIP_DEFAULT_PRECIS, PROOF_QUALITY, VARIABLE_PITCH | FF_SWISS, L"Arial");
    SetUpLists();
    SetUpProgress();
    m_szSavedPath = widen(messages::kDefaultSavedPath);
    SetDlgItemText(IDC_SAVED_PATH, m_szSavedPath);
    AttachPictures();
    m_nDiskType = 2;
    RefreshDiskList();
    m_scanContext.enabledFamilies[kOfficeEntry].enabled = 1;
    m_scanContext.enabledFamilies[kZipEntry].enabled = 1;
    m_uQueryCancelAutoPlay = RegisterWindowMessageW(L"QueryCancelAutoPlay");
    m_nFileGroup = -1;
    return TRUE;
}

void CHarvexDlg::SetCaptionFromVersion() {
    SetWindowTextW(hwnd(), widen(windowCaption(productName(), programVersion())).c_str());
}

void CHarvexDlg::SetUpLists() {
    m_listDisk = GetDlgItem(IDC_DISK_LIST);
    m_listPartition = GetDlgItem(IDC_PARTITION_LIST);
    ListView_SetExtendedListViewStyle(m_listDisk, LVS_EX_FULLROWSELECT);
    ListView_SetExtendedListViewStyle(m_listPartition, LVS_EX_FULLROWSELECT);
}

void CHarvexDlg::SetUpProgress() {
    m_progress.SubclassDlgItem(IDC_PROGRESS, hwnd());
    m_progress.SetPos(0);
    m_progress.SetStartColor(RGB(255, 30, 60));
    m_progress.SetEndColor(RGB(210, 210, 210));
    m_progress.SetBkColor(RGB(255, 255, 255));
    m_progress.SetTextColor(RGB(0, 0, 0));
    m_progress.SetShowText(true);
}

void CHarvexDlg::AttachPictures() {
    m_logo.SubclassDlgItem(IDC_LOGO, hwnd());
    m_logo.SetPicture(IDB_LOGO);
    m_banner.SubclassDlgItem(IDC_BANNER, hwnd());
    m_banner.SetPicture(IDB_BANNER);
    m_countCaption.SubclassDlgItem(IDC_COUNT_CAPTION, hwnd());
    m_countCaption.SetPicture(IDB_COUNT_CAPTION, true);
    m_elapsedCaption.SubclassDlgItem(IDC_ELAPSED_CAPTION, hwnd());
    m_elapsedCaption.SetPicture(IDB_ELAPSED_CAPTION, true);
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        const ButtonFaces& faces = kButtonFaces[i];
        m_buttons[i].SubclassDlgItem(faces.id, hwnd());
        m_buttons[i].LoadBitmaps(faces.up, faces.down, faces.focused);
    }
    // The blank panel does nothing and is no stop for the Tab key.
    const HWND blank = GetDlgItem(IDC_BLANK);
    SetWindowLongPtrW(blank, GWL_STYLE,
                      GetWindowLongPtrW(blank, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_TABSTOP));
}

void CHarvexDlg::OnPaint() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(hwnd(), &paint);
    RECT client;
    GetClientRect(hwnd(), &client);
    if (IsIconic(hwnd())) {
        const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc, x, y, m_hIcon);
    } else {
        m_bmpBackground.Stretch(dc, client);
    }
    EndPaint(hwnd(), &paint);
}

bool CHarvexDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message == WM_CTLCOLORSTATIC) {
        result = OnLabelColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return result != 0;
    }
    if (m_uQueryCancelAutoPlay != 0 && message == m_uQueryCancelAutoPlay) {
        // Cancel AutoPlay while this window is in front.
        SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, 1);
        result = TRUE;
        return true;
    }
    return false;
}

INT_PTR CHarvexDlg::OnLabelColour(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id != IDC_ELAPSED_TIME && id != IDC_DETECTING)
        return 0;
    SelectObject(dc, m_hLabelFont);
    SetTextColor(dc, id == IDC_ELAPSED_TIME ? RGB(255, 255, 255) : RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

// ---------------------------------------------------------------- lists

void CHarvexDlg::RefreshDiskList() {
    // The scan reads one of the listed disks: the list stays as it is.
    if (m_hScanThread)
        return;
    clearList(m_listDisk);
    addColumn(m_listDisk, 0, L"Disk Name", 150, LVCFMT_LEFT);
    addColumn(m_listDisk, 1, L"Disk Size", 90, LVCFMT_RIGHT);
    m_szDiskLetters = diskLettersOf(volumesOnDisks());
    std::vector<std::string> failures;
    rebuildDisks(m_scanContext, systemDiskSource(), m_images, m_nDiskType, failures);
    for (size_t row = 0; row < m_scanContext.diskRows.size(); ++row) {
        const DiskRow& disk = m_scanContext.diskRows[row];
        addRow(m_listDisk, static_cast<int>(row), {widen(disk.model), widen(disk.sizeText)});
    }
    // The partitions shown belonged to the disks just closed.
    SetPartitionColumns();
    if (!failures.empty() && !m_bImageFailuresShown) {
        m_bImageFailuresShown = true;
        std::wstring text;
        for (const std::string& failure : failures)
            text += widen(failure) + L"\n";
        widgets::ShowWarning(hwnd(), text, widen(messages::kProductName));
    }
}

void CHarvexDlg::SetPartitionColumns() {
    clearList(m_listPartition);
    addColumn(m_listPartition, 0, L"Label", 100, LVCFMT_LEFT);
    addColumn(m_listPartition, 1, L"Format", 60, LVCFMT_LEFT);
    addColumn(m_listPartition, 2, L"Size", 80, LVCFMT_LEFT);
}

int CHarvexDlg::SelectedRow(int listId) const {
    return ListView_GetNextItem(GetDlgItem(listId), -1, LVNI_SELECTED);
}

INT_PTR CHarvexDlg::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_DISK_LIST || header.code != LVN_ITEMCHANGED)
        return FALSE;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    const bool selectedNow = (change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED);
    if ((change.uChanged & LVIF_STATE) && selectedNow)
        ListPartitions();
    return FALSE;
}

void CHarvexDlg::ListPartitions() {
    const int row = SelectedRow(IDC_DISK_LIST);
    if (row < 0) {
        widgets::ShowWarning(hwnd(), widen(messages::kSelectDisk), widen(messages::kListWarningCaption));
        return;
    }
    SetPartitionColumns();
    clearLastErrorText();
    const bool read = chooseDisk(m_scanContext, static_cast<size_t>(row));
    for (size_t index = 0; index < m_scanContext.partitionRows.size(); ++index) {
        const PartitionRow& partition = m_scanContext.partitionRows[index];
        addRow(m_listPartition, static_cast<int>(index),
               {widen(partition.label), widen(partition.format), widen(partition.sizeText)});
    }
    if (!read) {
        const std::string why = lastErrorText();
        widgets::ShowError(
            hwnd(), L"The partitions of this disk cannot be read." + (why.empty() ? L"" : L"\n" + widen(why)),
            widen(messages::kProductName));
    }
}

// ---------------------------------------------------------------- settings and about

void CHarvexDlg::OnSettings() {
    const bool scanRunning = m_hScanThread != nullptr;
    CSettingDlg settings(hwnd(), settingsForDialog(m_scanContext.enabledFamilies, m_szSavedPath, m_nFileGroup,
                                                   m_nDiskType, scanRunning));
    if (settings.DoModal() != IDOK || m_hScanThread)
        return;
    const Settings& saved = settings.result();
    m_szSavedPath = saved.savedPath;
    SetDlgItemText(IDC_SAVED_PATH, m_szSavedPath);
    applySettings(saved, m_scanContext.enabledFamilies);
    m_nFileGroup = saved.fileGroup;
    m_nDiskType = saved.diskType;
    // The user picks the disk again.
    RefreshDiskList();
}

void CHarvexDlg::OnAbout() {
    showAboutBox(hwnd());
}

// ---------------------------------------------------------------- elapsed time and file count

void CHarvexDlg::OnElapsedTimer() {
    ++m_nElapsedSeconds;
    // Hiding and showing the transparent text makes it repaint over the background.
    const HWND label = GetDlgItem(IDC_ELAPSED_TIME);
    ShowWindow(label, SW_HIDE);
    SetDlgItemText(IDC_ELAPSED_TIME, widen(elapsedTimeText(m_nElapsedSeconds)));
    ShowWindow(label, SW_SHOW);
}

}  // namespace salvora

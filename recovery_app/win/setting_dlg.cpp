#include "recovery_app/win/setting_dlg.h"

#include <commctrl.h>

#include "formats/family_table.h"
#include "media/text_win.h"
#include "recovery_app/core/messages.h"
#include "recovery_app/win/resource.h"
#include "recovery_app/win/window_text.h"
#include "widgets/folder_dialog.h"
#include "widgets/message_box.h"

namespace salvora {

namespace {

// The checkbox of each family, in enable-list order.
constexpr std::array<int, kFamilyCheckboxes> kFamilyIds{
    IDC_BMP, IDC_JPEG, IDC_INDD, IDC_RIFF,   IDC_TIFF, IDC_RAW, IDC_ORF,  IDC_CRW, IDC_X3F,
    IDC_MRW, IDC_RAF,  IDC_MP3,  IDC_OFFICE, IDC_PDF,  IDC_MPG, IDC_M2TS, IDC_MOV, IDC_ZIP};

constexpr int kDiskTypeIds[] = {IDC_REMOVABLE_DISKS, IDC_FIXED_DISKS, IDC_ALL_DISKS};

// The controls that change settings; disabled while a scan runs. Cancel stays.
constexpr int kEditingControls[] = {IDC_FILE_GROUP,      IDC_CHOOSE,      IDC_DESELECT_ALL, IDOK,
                                    IDC_REMOVABLE_DISKS, IDC_FIXED_DISKS, IDC_ALL_DISKS};

constexpr UINT kTooltipDelayMs = 1000;

}  // namespace

CSettingDlg::CSettingDlg(HWND parent, Settings settings)
    : DialogBase(IDD_SETTINGS, parent), m_settings(std::move(settings)) {
    OnCommand(IDC_CHOOSE, BN_CLICKED, [this] { OnChoose(); });
    OnCommand(IDC_DESELECT_ALL, BN_CLICKED, [this] { OnDeselectAll(); });
}

BOOL CSettingDlg::OnInitDialog() {
    SetDlgItemText(IDC_SAVED_PATH, m_settings.savedPath);
    SetCaptions();
    const auto checks = initialChecks(m_settings);
    for (size_t entry = 0; entry < kFamilyCheckboxes; ++entry) {
        CheckDlgButton(hwnd(), kFamilyIds[entry], checks[entry] ? BST_CHECKED : BST_UNCHECKED);
    }
    for (const char* group : kFileGroupNames) {
        SendDlgItemMessage(IDC_FILE_GROUP, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(group).c_str()));
    }
    SendDlgItemMessage(IDC_FILE_GROUP, CB_SETCURSEL,
                       static_cast<WPARAM>(initialFileGroup(m_settings.fileGroup)));
    SetUpCheckboxes();
    SetUpTooltips();
    if (m_settings.diskType >= 0 && m_settings.diskType <= 2) {
        CheckDlgButton(hwnd(), kDiskTypeIds[m_settings.diskType], BST_CHECKED);
    }
    for (const int id : kEditingControls)
        EnableDlgItem(id, m_settings.editable);
    for (const int id : {IDC_DISK_TYPE_GROUP, IDC_REMOVABLE_DISKS, IDC_FIXED_DISKS, IDC_ALL_DISKS}) {
        ShowWindow(GetDlgItem(id), SW_HIDE);
    }
    // The focus on the button that ends the dialog rather than in the path.
    SetFocus(GetDlgItem(m_settings.editable ? IDOK : IDCANCEL));
    return FALSE;
}

void CSettingDlg::SetCaptions() {
    SetDlgItemText(IDC_DESTINATION_GROUP, L"Destination of saved files");
    SetDlgItemText(IDC_TYPES_GROUP, L"Recovery file types");
    SetDlgItemText(IDC_DISK_TYPE_GROUP, L"Disk Type");
    SetDlgItemText(IDC_REMOVABLE_DISKS, L"Removable Disks");
    SetDlgItemText(IDC_FIXED_DISKS, L"Fixed Disks");
    SetDlgItemText(IDC_ALL_DISKS, L"All Disks");
}

void CSettingDlg::SetUpCheckboxes() {
    for (size_t entry = 0; entry < kFamilyCheckboxes; ++entry) {
        const HWND box = GetDlgItem(kFamilyIds[entry]);
        ShowWindow(box, SW_SHOW);
        EnableWindow(box, m_settings.editable);
        if (isHiddenFamilyEntry(entry)) {
            ShowWindow(box, SW_HIDE);
            CheckDlgButton(hwnd(), kFamilyIds[entry], BST_UNCHECKED);
        }
    }
}

void CSettingDlg::SetUpTooltips() {
    const auto& families = familyTable();
    for (size_t entry = 0; entry < kFamilyCheckboxes; ++entry) {
        const HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(),
                                         nullptr, GetModuleHandleW(nullptr), nullptr);
        m_tipFamily[entry] = tip;
        if (!tip)
            continue;
        std::wstring text = latin1ToWide(families[entry]->description);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(kFamilyIds[entry]));
        tool.lpszText = text.data();
        SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        SendMessageW(tip, TTM_SETDELAYTIME, TTDT_AUTOMATIC, kTooltipDelayMs);
        SendMessageW(tip, TTM_ACTIVATE, TRUE, 0);
    }
}

void CSettingDlg::OnChoose() {
    // Owned by this dialog, so that it cannot be used while the browser is open.
    widgets::CFolderDialog chooser(nullptr, 0, hwnd());
    if (chooser.DoModal() != IDOK)
        return;
    const auto destination = destinationForChosenFolder(chooser.GetFolderPath());
    if (!destination) {
        widgets::ShowWarning(hwnd(), widen(messages::kOnlyEnglish), widen(messages::kWarningCaption));
        return;
    }
    SetDlgItemText(IDC_SAVED_PATH, *destination);
}

void CSettingDlg::OnDeselectAll() {
    for (const int id : kFamilyIds)
        CheckDlgButton(hwnd(), id, BST_UNCHECKED);
}

void CSettingDlg::OnOK() {
    // Enter reaches here even while Save is disabled.
    if (!m_settings.editable)
        return;
    SettingsInput input;
    for (size_t entry = 0; entry < kFamilyCheckboxes; ++entry) {
        input.checked[entry] = IsDlgButtonChecked(hwnd(), kFamilyIds[entry]) == BST_CHECKED;
    }
    input.savedPath = GetDlgItemText(IDC_SAVED_PATH);
    input.fileGroup = static_cast<int>(SendDlgItemMessage(IDC_FILE_GROUP, CB_GETCURSEL));
    input.allDisks = IsDlgButtonChecked(hwnd(), IDC_ALL_DISKS) == BST_CHECKED;
    input.removableDisks = IsDlgButtonChecked(hwnd(), IDC_REMOVABLE_DISKS) == BST_CHECKED;
    const auto saved = saveSettings(input);
    if (!saved) {
        widgets::ShowWarning(hwnd(), widen(messages::kSelectFileType), widen(messages::kWarningCaption));
        return;
    }
    m_settings = *saved;
    EndDialog(IDOK);
}

}  // namespace salvora

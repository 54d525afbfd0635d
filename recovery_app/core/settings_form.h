// The rules of the settings dialog, apart from its window: what it shows
// when it opens, what Save keeps, how the window takes the result back, and
// which chosen folders make a destination.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "carve/family.h"

namespace salvora {

// Entries of the enable list that the dialog mirrors: the 18 families with
// a checkbox and the entry after them.
constexpr size_t kEnableEntries = 19;
// One checkbox per family, in enable-list order.
constexpr size_t kFamilyCheckboxes = 18;
// Enable-list positions of the office documents and of ZIP, which follows them.
constexpr size_t kOfficeEntry = 12;
constexpr size_t kZipEntry = 17;

// True for the families whose checkboxes are always hidden and unchecked
// (indd, mpg, m2ts, mov and zip); Save turns them off.
bool isHiddenFamilyEntry(size_t entry);

// The file groups of the (hidden) group list in the order they are added;
// the sorted list shows them as 0 "All files", 1 "Image files", 2 "Sound
// files", 3 "Video files".
constexpr std::array<const char*, 4> kFileGroupNames{"Video files", "Sound files", "Image files",
                                                     "All files"};

struct Settings {
    std::wstring savedPath;                          // destination folder, ends with a backslash
    std::array<uint32_t, kEnableEntries> enabled{};  // 1 on, 0 off, in enable-list order
    int32_t fileGroup = -1;                          // -1 none chosen
    int32_t diskType = 2;                            // 0 removable, 1 fixed, 2 all
    bool editable = true;                            // false while a scan runs: read-only
};

// The copy the main window hands the dialog. ZIP is shown as the office
// documents are; the dialog is read-only while `scanRunning`.
Settings settingsForDialog(const EnabledFamilies& families, const std::wstring& savedPath, int32_t fileGroup,
                           int32_t diskType, bool scanRunning);

// Whether each checkbox is checked when the dialog opens: its flag is exactly
// 1 and its row is not hidden.
std::array<bool, kFamilyCheckboxes> initialChecks(const Settings& settings);

// The group list's selection when the dialog opens: the chosen group, or 0
// ("All files") when none was chosen.
int initialFileGroup(int32_t fileGroup);

// What the dialog's controls hold when Save is pressed.
struct SettingsInput {
    std::array<bool, kFamilyCheckboxes> checked{};
    std::wstring savedPath;  // the destination field
    int fileGroup = 0;       // selection of the group list
    bool allDisks = true;    // the disk-type radio buttons
    bool removableDisks = false;
};

// The settings Save keeps, or nothing when no checkbox is checked (the dialog
// then warns kSelectFileType and stays open). Hidden families end up off.
std::optional<Settings> saveSettings(const SettingsInput& input);

// The checkbox family that a family without a checkbox of its own follows:
// pictures the JPEG box ("jpg"), audio the MP3 box ("mp3"), video the RIFF
// audio/video box ("riff"), databases and archives the office documents box
// ("doc"). Null for a family that has a checkbox.
const char* checkboxLeader(const char* extension);

// Puts saved settings back into the window's enable list: every checkbox
// flag is copied, ZIP takes the office documents' state, and each family
// without a checkbox takes its leader's state.
void applySettings(const Settings& settings, EnabledFamilies& families);

// The destination for a folder chosen in the folder browser: the folder with
// a backslash appended (a drive root "D:\" becomes "D:\\"). Nothing when the
// folder's name holds a character above U+00FF (warned with kOnlyEnglish).
std::optional<std::wstring> destinationForChosenFolder(const std::wstring& folder);

}  // namespace salvora

#include "recovery_app/core/settings_form.h"

#include <algorithm>
#include <cstring>

namespace salvora {

namespace {
constexpr std::array<size_t, 5> kHiddenEntries{2, 14, 15, 16, kZipEntry};
constexpr int32_t kRemovableDisks = 0;
constexpr int32_t kFixedDisks = 1;
constexpr int32_t kAllDisks = 2;

struct Follower {
    const char* extension;
    const char* leader;
};
const Follower kFollowers[] = {{"png", "jpg"},    {"gif", "jpg"}, {"webp", "jpg"}, {"heic", "jpg"},
                               {"flac", "mp3"},   {"ogg", "mp3"}, {"m4a", "mp3"},  {"mkv", "riff"},
                               {"sqlite", "doc"}, {"7z", "doc"},  {"rar", "doc"}};

// The enable-list entry of the family with `extension`, or families.size().
size_t entryOf(const EnabledFamilies& families, const char* extension) {
    for (size_t entry = 0; entry < families.size(); ++entry) {
        if (families[entry].family && std::strcmp(families[entry].family->extension, extension) == 0)
            return entry;
    }
    return families.size();
}
}  // namespace

const char* checkboxLeader(const char* extension) {
    for (const Follower& follower : kFollowers) {
        if (std::strcmp(follower.extension, extension) == 0)
            return follower.leader;
    }
    return nullptr;
}

bool isHiddenFamilyEntry(size_t entry) {
    return std::find(kHiddenEntries.begin(), kHiddenEntries.end(), entry) != kHiddenEntries.end();
}

Settings settingsForDialog(const EnabledFamilies& families, const std::wstring& savedPath, int32_t fileGroup,
                           int32_t diskType, bool scanRunning) {
    Settings settings;
    settings.savedPath = savedPath;
    for (size_t entry = 0; entry < families.size() && entry < kEnableEntries; ++entry) {
        settings.enabled[entry] = families[entry].enabled;
    }
    settings.enabled[kZipEntry] = settings.enabled[kOfficeEntry];
    settings.fileGroup = fileGroup;
    settings.diskType = diskType;
    settings.editable = !scanRunning;
    return settings;
}

std::array<bool, kFamilyCheckboxes> initialChecks(const Settings& settings) {
    std::array<bool, kFamilyCheckboxes> checks{};
    for (size_t entry = 0; entry < kFamilyCheckboxes; ++entry) {
        checks[entry] = settings.enabled[entry] == 1 && !isHiddenFamilyEntry(entry);
    }
    return checks;
}

int initialFileGroup(int32_t fileGroup) {
    return fileGroup < 0 ? 0 : fileGroup;
}

std::optional<Settings> saveSettings(const SettingsInput& input) {
    if (std::none_of(input.checked.begin(), input.checked.end(), [](bool checked) { return checked; })) {
        return std::nullopt;
    }
    Settings settings;
    settings.savedPath = input.savedPath;
    for (size_t entry = 0; entry < kFamilyCheckboxes; ++entry) {
        settings.enabled[entry] = input.checked[entry] && !isHiddenFamilyEntry(entry) ? 1 : 0;
    }
    settings.fileGroup = input.fileGroup;
    settings.diskType = input.allDisks ? kAllDisks : input.removableDisks ? kRemovableDisks : kFixedDisks;
    return settings;
}

void applySettings(const Settings& settings, EnabledFamilies& families) {
    for (size_t entry = 0; entry < families.size() && entry < kFamilyCheckboxes; ++entry) {
        if (families[entry].family)
            families[entry].enabled = settings.enabled[entry];
    }
    if (families.size() > kZipEntry)
        families[kZipEntry].enabled = families[kOfficeEntry].enabled;
    for (EnabledFamily& pair : families) {
        const char* leader = pair.family ? checkboxLeader(pair.family->extension) : nullptr;
        const size_t entry = leader ? entryOf(families, leader) : families.size();
        if (entry < families.size())
            pair.enabled = families[entry].enabled;
    }
}

std::optional<std::wstring> destinationForChosenFolder(const std::wstring& folder) {
    const bool beyondLatin1 =
        std::any_of(folder.begin(), folder.end(), [](wchar_t c) { return static_cast<uint32_t>(c) > 0xFF; });
    if (beyondLatin1)
        return std::nullopt;
    return folder + L"\\";
}

}  // namespace salvora

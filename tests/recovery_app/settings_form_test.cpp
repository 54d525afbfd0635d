// The settings dialog's rules: what it shows, what Save keeps and how the
// main window takes the result back.
#include "recovery_app/core/settings_form.h"

#include <gtest/gtest.h>

#include "formats/family_table.h"
#include "recovery_app/core/file_types.h"
#include "recovery_app/core/messages.h"

namespace salvora {
namespace {

const std::wstring kPath = L"C:\\Saved Files\\";

bool isOn(const EnabledFamilies& families, const char* extension) {
    for (const EnabledFamily& pair : families) {
        if (pair.family && std::string(pair.family->extension) == extension)
            return pair.enabled == 1;
    }
    ADD_FAILURE() << "no family " << extension;
    return false;
}

// Saves the dialog as it opened, with `change` applied to its checkboxes.
Settings saveAsOpened(const Settings& opened, void (*change)(std::array<bool, kFamilyCheckboxes>&)) {
    SettingsInput input;
    input.checked = initialChecks(opened);
    change(input.checked);
    input.savedPath = opened.savedPath;
    const auto saved = saveSettings(input);
    EXPECT_TRUE(saved.has_value());
    return saved.value_or(Settings{});
}

TEST(SettingsForm, OpensWithTheWindowsFamiliesAndHiddenRowsUnchecked) {
    EnabledFamilies families = standardFamilies();
    for (EnabledFamily& pair : families)
        pair.enabled = pair.family ? 1 : 0;  // even the hidden ones
    const Settings opened = settingsForDialog(families, kPath, -1, 2, false);
    const auto checks = initialChecks(opened);
    for (size_t entry = 0; entry < kFamilyCheckboxes; ++entry) {
        EXPECT_EQ(checks[entry], !isHiddenFamilyEntry(entry)) << entry;
    }
    EXPECT_EQ(opened.savedPath, kPath);
    EXPECT_TRUE(opened.editable);
    EXPECT_EQ(initialFileGroup(opened.fileGroup), 0) << "\"All files\" when no group was chosen";
    EXPECT_EQ(initialFileGroup(2), 2);
}

TEST(SettingsForm, OnlyAFlagOfExactlyOneChecksItsBox) {
    EnabledFamilies families = standardFamilies();
    families[0].enabled = 2;  // bmp
    const auto checks = initialChecks(settingsForDialog(families, kPath, -1, 2, false));
    EXPECT_FALSE(checks[0]);
    EXPECT_TRUE(checks[1]);
}

TEST(SettingsForm, OfficeDocumentsCarryZipWithThem) {
    const Settings opened = settingsForDialog(standardFamilies(), kPath, -1, 2, false);
    EnabledFamilies families = standardFamilies();

    applySettings(saveAsOpened(opened, [](auto& checks) { checks[kOfficeEntry] = false; }), families);
    EXPECT_FALSE(isOn(families, "doc"));
    EXPECT_FALSE(isOn(families, "zip"));

    applySettings(saveAsOpened(opened, [](auto& checks) { checks[kOfficeEntry] = true; }), families);
    EXPECT_TRUE(isOn(families, "doc"));
    EXPECT_TRUE(isOn(families, "zip"));
}

TEST(SettingsForm, ZipIsShownAsTheOfficeDocumentsAreWhateverItsOwnFlag) {
    EnabledFamilies families = standardFamilies();
    families[kOfficeEntry].enabled = 0;
    families[kZipEntry].enabled = 1;
    EXPECT_EQ(settingsForDialog(families, kPath, -1, 2, false).enabled[kZipEntry], 0u);
}

TEST(SettingsForm, HiddenFamiliesAreOffAfterAnySave) {
    EnabledFamilies families = standardFamilies();
    for (const char* extension : {"indd", "mpg", "m2ts", "mov"}) {
        for (EnabledFamily& pair : families) {
            if (pair.family && std::string(pair.family->extension) == extension)
                pair.enabled = 1;
        }
    }
    SettingsInput input;
    input.checked.fill(true);  // even a hidden box that somehow got checked
    input.savedPath = kPath;
    const auto saved = saveSettings(input);
    ASSERT_TRUE(saved);
    applySettings(*saved, families);
    for (const char* extension : {"indd", "mpg", "m2ts", "mov"})
        EXPECT_FALSE(isOn(families, extension)) << extension;
    EXPECT_TRUE(isOn(families, "zip")) << "ZIP follows the office documents, not its hidden box";
    EXPECT_EQ(families.back().family, nullptr);
    EXPECT_EQ(families.back().enabled, 0u) << "the terminating entry stays as it is";
}

// The newer families have no checkbox: each follows the box of its kind.
TEST(SettingsForm, NewerFamiliesFollowTheBoxOfTheirKind) {
    const struct {
        const char* extension;
        size_t box;  // enable-list entry of the checkbox it follows
    } followers[] = {{"png", 1},  {"gif", 1}, {"webp", 1},    {"heic", 1}, {"flac", 11}, {"ogg", 11},
                     {"m4a", 11}, {"mkv", 3}, {"sqlite", 12}, {"7z", 12},  {"rar", 12}};
    const Settings opened = settingsForDialog(standardFamilies(), kPath, -1, 2, false);
    for (const auto& follower : followers) {
        EnabledFamilies families = standardFamilies();
        ASSERT_TRUE(isOn(families, follower.extension)) << follower.extension << " is on at start";
        const size_t box = follower.box;
        Settings saved = opened;
        saved.enabled[box] = 0;
        applySettings(saved, families);
        EXPECT_FALSE(isOn(families, follower.extension)) << follower.extension;
        saved.enabled[box] = 1;
        applySettings(saved, families);
        EXPECT_TRUE(isOn(families, follower.extension)) << follower.extension;
    }
    // Every family after the 18 with checkboxes has a box to follow.
    for (size_t entry = kFamilyCheckboxes; entry < familyTable().size(); ++entry)
        EXPECT_NE(checkboxLeader(familyTable()[entry]->extension), nullptr)
            << familyTable()[entry]->extension;
}

TEST(SettingsForm, SaveWithNothingCheckedIsRefused) {
    SettingsInput input;
    input.savedPath = kPath;
    EXPECT_FALSE(saveSettings(input).has_value());
    input.checked[kOfficeEntry] = true;
    EXPECT_TRUE(saveSettings(input).has_value());
}

TEST(SettingsForm, SaveKeepsTheDestinationGroupAndDiskType) {
    SettingsInput input;
    input.checked[1] = true;
    input.savedPath = L"D:\\Fotos\\";
    input.fileGroup = 3;
    input.allDisks = false;
    input.removableDisks = true;
    auto saved = saveSettings(input);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->savedPath, L"D:\\Fotos\\");
    EXPECT_EQ(saved->fileGroup, 3);
    EXPECT_EQ(saved->diskType, 0);
    input.removableDisks = false;
    EXPECT_EQ(saveSettings(input)->diskType, 1);
    input.allDisks = true;
    input.removableDisks = true;
    EXPECT_EQ(saveSettings(input)->diskType, 2) << "\"All Disks\" wins";
}

TEST(SettingsForm, ChosenFolderGetsABackslashAndARootASecondOne) {
    EXPECT_EQ(destinationForChosenFolder(L"D:\\Data"), L"D:\\Data\\");
    EXPECT_EQ(destinationForChosenFolder(L"D:\\"), L"D:\\\\");
    EXPECT_EQ(destinationForChosenFolder(L"D:\\Caf\u00E9 \u00FF"), L"D:\\Caf\u00E9 \u00FF\\")
        << "characters up to U+00FF are accepted";
}

TEST(SettingsForm, ChosenFolderWithCharactersBeyondLatin1IsRefused) {
    EXPECT_FALSE(destinationForChosenFolder(L"D:\\\u0100"));
    EXPECT_FALSE(destinationForChosenFolder(L"D:\\\u5361\u7247"));
    EXPECT_STREQ(messages::kOnlyEnglish, "Please use ONLY ENGLISH for Path/Folder Name !!!");
}

}  // namespace
}  // namespace salvora

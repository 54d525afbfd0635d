#include "recovery_app/core/destination.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path fromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

// Regression: on Windows the folder text was read in the system's code page,
// so a folder named with characters outside it was made under a wrong name.
TEST(Destination, FolderWithAnyNameIsCreatedUnderThatName) {
    test::TempDir dir;
    const fs::path wanted =
        dir.path() / fs::path(u8"Gerettet \u00C4\u00D6\u00DC \u5199\u771F \U0001F4F7") / "2024";
    std::string prepared, why;
    ASSERT_TRUE(prepareDestination(utf8(wanted), prepared, why)) << why;
    EXPECT_TRUE(fs::is_directory(wanted));
    EXPECT_EQ(prepared, utf8(wanted) + static_cast<char>(fs::path::preferred_separator));
    EXPECT_TRUE(fs::is_directory(fromUtf8(prepared)));
    EXPECT_TRUE(fs::is_empty(wanted)) << "the write test leaves nothing behind";
}

TEST(Destination, ExistingFolderKeepsItsSeparator) {
    test::TempDir dir;
    const std::string folder = dir.folder();
    std::string prepared, why;
    ASSERT_TRUE(prepareDestination(folder, prepared, why)) << why;
    EXPECT_EQ(prepared, folder);
}

TEST(Destination, FileInTheWayIsRefusedWithAReason) {
    test::TempDir dir;
    test::writeFile(dir.path() / "photos", {1});
    std::string prepared, why;
    EXPECT_FALSE(prepareDestination((dir.path() / "photos").string(), prepared, why));
    EXPECT_NE(why.find("not a folder"), std::string::npos) << why;
    EXPECT_FALSE(prepareDestination("", prepared, why));
}

}  // namespace
}  // namespace salvora

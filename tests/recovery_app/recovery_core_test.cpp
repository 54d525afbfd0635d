#include <gtest/gtest.h>

#include <filesystem>

#include "recovery_app/core/destination.h"
#include "recovery_app/core/elapsed_time.h"
#include "recovery_app/core/file_types.h"
#include "support/test_files.h"

namespace salvora {
namespace {

TEST(ElapsedTime, HoursMinutesAndSeconds) {
    EXPECT_EQ(elapsedTimeText(0), "0 Hr : 0 Min : 0 Sec");
    EXPECT_EQ(elapsedTimeText(59), "0 Hr : 0 Min : 59 Sec");
    EXPECT_EQ(elapsedTimeText(60), "0 Hr : 1 Min : 0 Sec");
    EXPECT_EQ(elapsedTimeText(3599), "0 Hr : 59 Min : 59 Sec");
    EXPECT_EQ(elapsedTimeText(3725), "1 Hr : 2 Min : 5 Sec");
    EXPECT_EQ(elapsedTimeText(90061), "25 Hr : 1 Min : 1 Sec");
}

std::vector<std::string> enabled(const EnabledFamilies& families) {
    std::vector<std::string> names;
    for (const EnabledFamily& pair : families) {
        if (pair.family && pair.enabled) names.push_back(pair.family->extension);
    }
    return names;
}

TEST(FileTypes, StandardSetIsTheStartSetWithOfficeDocuments) {
    EXPECT_EQ(enabled(standardFamilies()), (std::vector<std::string>{"bmp", "jpg", "riff", "tif", "raw", "orf", "crw",
                                                                      "x3f", "mrw", "raf", "mp3", "doc", "pdf", "zip"}));
    EXPECT_EQ(standardFamilies().back().family, nullptr);
}

TEST(FileTypes, ListsChooseFamiliesAndUnknownWordsAreRefused) {
    EnabledFamilies families;
    std::string why;
    ASSERT_TRUE(familiesFromList("pdf,jpg", families, why));
    EXPECT_EQ(enabled(families), (std::vector<std::string>{"jpg", "pdf"}));
    ASSERT_TRUE(familiesFromList("all", families, why));
    EXPECT_EQ(enabled(families).size(), 18u);
    EXPECT_FALSE(familiesFromList("jpg,jpeg", families, why));
    EXPECT_NE(why.find("\"jpeg\""), std::string::npos);
    EXPECT_FALSE(familiesFromList(",", families, why));
    EXPECT_EQ(why, "Please select at least one file type.");
}

TEST(Destination, CreatesTheFolderAndEndsItWithASeparator) {
    test::TempDir dir;
    std::string prepared, why;
    const std::string folder = (dir.path() / "a" / "b").string();
    ASSERT_TRUE(prepareDestination(folder, prepared, why)) << why;
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(prepared, folder + "/");
    EXPECT_TRUE(dir.fileNames().empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder));  // the write test leaves nothing behind
}

TEST(Destination, FileInTheWayOrUncreatableFolderIsRefused) {
    test::TempDir dir;
    test::writeFile(dir.path() / "file", {1});
    std::string prepared, why;
    EXPECT_FALSE(prepareDestination((dir.path() / "file").string(), prepared, why));
    EXPECT_NE(why.find("not a folder"), std::string::npos);
    EXPECT_FALSE(prepareDestination((dir.path() / "file" / "sub").string(), prepared, why));
    EXPECT_NE(why.find("Cannot create"), std::string::npos);
}

}  // namespace
}  // namespace salvora

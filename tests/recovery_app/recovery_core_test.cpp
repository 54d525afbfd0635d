#include <gtest/gtest.h>

#include <filesystem>

#include "recovery_app/core/destination.h"
#include "recovery_app/core/elapsed_time.h"
#include "recovery_app/core/file_types.h"
#include "recovery_app/core/progress_estimate.h"
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
        if (pair.family && pair.enabled)
            names.push_back(pair.family->extension);
    }
    return names;
}

TEST(FileTypes, StandardSetIsTheStartSetWithOfficeDocuments) {
    EXPECT_EQ(enabled(standardFamilies()),
              (std::vector<std::string>{"bmp", "jpg", "riff", "tif", "raw", "orf", "crw", "x3f", "mrw", "raf",
                                        "mp3", "doc", "pdf", "zip"}));
    EXPECT_EQ(standardFamilies().back().family, nullptr);
}

TEST(FileTypes, ListsChooseFamiliesAndUnknownWordsAreRefused) {
    EnabledFamilies families;
    std::string why;
    ASSERT_TRUE(familiesFromList("pdf,jpg", families, why));
    EXPECT_EQ(enabled(families), (std::vector<std::string>{"jpg", "pdf"}));
    ASSERT_TRUE(familiesFromList("all", families, why));
    EXPECT_EQ(enabled(families).size(), 18u);
    EXPECT_FALSE(familiesFromList("jpg,webp", families, why));
    EXPECT_NE(why.find("\"webp\""), std::string::npos);
    EXPECT_FALSE(familiesFromList(",", families, why));
    EXPECT_EQ(why, "Please select at least one file type.");
}

TEST(Destination, CreatesTheFolderAndEndsItWithASeparator) {
    test::TempDir dir;
    std::string prepared, why;
    const std::string folder = (dir.path() / "a" / "b").string();
    ASSERT_TRUE(prepareDestination(folder, prepared, why)) << why;
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    ASSERT_EQ(prepared.size(), folder.size() + 1);
    EXPECT_EQ(prepared.substr(0, folder.size()), folder);
    EXPECT_TRUE(prepared.back() == '/' || prepared.back() == '\\');
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

TEST(ProgressEstimate, RateAndTimeLeftOnlyOnceTheyAreMeaningful) {
    ProgressEstimate estimate;
    estimate.start(1000, 1000 + 100'000'000 - 1);
    EXPECT_EQ(estimate.total(), 100'000'000u);
    estimate.update(1000, 0.0);
    EXPECT_LT(estimate.secondsLeft(), 0);
    estimate.update(1000 + 10'000'000, 1.0);
    EXPECT_DOUBLE_EQ(estimate.bytesPerSecond(), 10'000'000.0);
    EXPECT_LT(estimate.secondsLeft(), 0);  // too early to say
    estimate.update(1000 + 40'000'000, 4.0);
    EXPECT_EQ(estimate.scanned(), 40'000'000u);
    EXPECT_NEAR(estimate.secondsLeft(), 6.0, 0.01);
    // The rate follows the last seconds, not the whole run.
    for (int second = 5; second <= 12; ++second)
        estimate.update(1000 + 40'000'000 + (second - 4) * 1'000'000, second);
    EXPECT_NEAR(estimate.bytesPerSecond(), 1'000'000.0, 1.0);
}

// Regression: with fewer than ten files the percentage ran to 40% while the
// first pass read the medium, then started again at 0% for the second.
TEST(ProgressEstimate, OnePercentageOverBothPassesNeverGoesBack) {
    ProgressEstimate estimate;
    estimate.startDiscovery(0, 99'999'999);
    EXPECT_TRUE(estimate.discovering());
    estimate.update(50'000'000, 1.0);
    EXPECT_EQ(estimate.percent(), 25) << "half of the first pass, which may read everything";
    estimate.update(100'000'000, 2.0);
    EXPECT_EQ(estimate.percent(), 50);
    EXPECT_LT(estimate.secondsLeft(), 0) << "how long the first pass runs is not known";
    estimate.start(0, 99'999'999);
    EXPECT_FALSE(estimate.discovering());
    estimate.update(0, 2.0);
    EXPECT_EQ(estimate.percent(), 50);
    estimate.update(50'000'000, 3.0);
    EXPECT_EQ(estimate.percent(), 75);
    EXPECT_NEAR(estimate.secondsLeft(), 1.0, 0.01) << "the rest of the carving pass at 50 MB/s";
    estimate.update(100'000'000, 4.0);
    EXPECT_EQ(estimate.percent(), 100);
}

TEST(ProgressEstimate, AFirstPassThatEndsEarlyCountsForWhatItRead) {
    ProgressEstimate estimate;
    estimate.startDiscovery(0, 99'999'999);
    estimate.update(4'000'000, 0.5);
    EXPECT_EQ(estimate.percent(), 2);
    estimate.start(0, 99'999'999);  // ten starts found after 4 MB
    EXPECT_EQ(estimate.total(), 100'000'000u);
    estimate.update(48'000'000, 1.0);
    EXPECT_EQ(estimate.percent(), 50) << "(4 + 48) MB of (4 + 100) MB";
    estimate.update(10'000'000, 1.5);
    EXPECT_EQ(estimate.percent(), 50) << "a step back of the scan (after a saved file) does not show";
}

TEST(ProgressEstimate, ByteTexts) {
    EXPECT_EQ(byteText(512), "512 bytes");
    EXPECT_EQ(byteText(1536), "1.5 KB");
    EXPECT_EQ(byteText(5u << 20), "5.0 MB");
    EXPECT_EQ(byteText(3ull << 30), "3.00 GB");
}

TEST(ProgressEstimate, OneFileIsOneFile) {
    EXPECT_EQ(fileCountText(0), "0 files");
    EXPECT_EQ(fileCountText(1), "1 file");
    EXPECT_EQ(fileCountText(2), "2 files");
    EXPECT_EQ(recoveredBeforeStop(1), "1 file was recovered before the recovery stopped.");
    EXPECT_EQ(recoveredBeforeStop(3), "3 files were recovered before the recovery stopped.");
}

}  // namespace
}  // namespace salvora

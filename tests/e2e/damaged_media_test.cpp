#include <gtest/gtest.h>

#include "carve/scan.h"
#include "formats/family_table.h"
#include "media/error_text.h"
#include "media/keep_going_reader.h"
#include "support/faulty_reader.h"
#include "support/recovery_harness.h"

namespace salvora {
namespace {

using test::dataPath;
using test::readFile;

// Twelve photos, each on its own 64 KiB cluster.
std::vector<uint8_t> cardImage(std::vector<std::vector<uint8_t>>& photos) {
    const std::vector<std::string> names{"jpeg/camera_320x240.jpg", "jpeg/jfif_exif_160x120.jpg",
                                         "jpeg/progressive_96x64.jpg", "jpeg/jfif_plain_200x150.jpg"};
    test::ImageBuilder image(2 << 20);
    for (size_t i = 0; i < 12; ++i) {
        photos.push_back(readFile(dataPath(names[i % names.size()])));
        image.place(65536 * (i + 1), photos.back());
    }
    return image.bytes();
}

struct Outcome {
    int32_t result;
    uint32_t saved = 0;
    std::map<std::string, std::vector<uint8_t>> files;
};

Outcome scan(MediaReader& medium) {
    test::TempDir dir;
    SearchSpace space;
    initFromPartition(space, medium, 0, 0);
    ScanObserver quiet;
    Outcome outcome;
    clearLastErrorText();
    outcome.result =
        runScan(medium, dir.folder(), test::onlyFamilies({"jpg"}), space, 0, quiet, outcome.saved);
    for (const auto& name : dir.fileNames())
        outcome.files[name] = readFile(dir.path() / name);
    return outcome;
}

TEST(DamagedMedia, CardPulledOutEndsTheScanWithItsErrorAndKeepsSavedPhotos) {
    std::vector<std::vector<uint8_t>> photos;
    test::FaultyReader medium(cardImage(photos));
    medium.shrinkAfterReads = 2;  // the discovery pass and the first refill of the carving pass
    medium.shrunkSize = 65536 * 6 + 1000;
    const Outcome outcome = scan(medium);
    EXPECT_EQ(outcome.result, kScanReadFailed);
    EXPECT_EQ(lastErrorText().rfind("Error in ReadFile.\nError Code:", 0), 0u) << lastErrorText();
    ASSERT_EQ(outcome.files.size(), outcome.saved);
    ASSERT_GE(outcome.saved, 4u);
    size_t i = 0;
    for (const auto& [name, bytes] : outcome.files) {
        EXPECT_TRUE(bytes == photos[i])
            << name << " has " << bytes.size() << " bytes, not " << photos[i].size();
        ++i;
    }
}

// Regression: a read whose position cannot be set must end the scan as a read
// failure with a message, not carry on with stale bytes in the buffer.
TEST(DamagedMedia, PositionFailureEndsTheScanAsAReadFailure) {
    std::vector<std::vector<uint8_t>> photos;
    test::FaultyReader medium(cardImage(photos));
    medium.positionFailsFrom = 1 << 20;
    const Outcome outcome = scan(medium);
    EXPECT_EQ(outcome.result, kScanReadFailed);
    EXPECT_FALSE(lastErrorText().empty());
    for (const auto& [name, bytes] : outcome.files) {
        EXPECT_TRUE(std::find(photos.begin(), photos.end(), bytes) != photos.end()) << name;
    }
}

// Regression: the first read of each pass went unchecked, so a medium whose
// first 512 KiB could not be read was scanned as zeros there and the scan
// reported success (a corrupt first chunk of an evidence image went unseen).
TEST(DamagedMedia, UnreadableFirstRefillEndsTheScanAsAReadFailure) {
    std::vector<std::vector<uint8_t>> photos;
    test::FaultyReader medium(cardImage(photos));
    medium.badSectors = {300};
    const Outcome outcome = scan(medium);
    EXPECT_EQ(outcome.result, kScanReadFailed);
    EXPECT_EQ(lastErrorText().rfind("Error in ReadFile.\nError Code:", 0), 0u) << lastErrorText();
    EXPECT_TRUE(outcome.files.empty());
}

TEST(DamagedMedia, KeepGoingReadsPastBadSectorsAndRecoversEveryIntactPhoto) {
    std::vector<std::vector<uint8_t>> photos;
    test::FaultyReader inner(cardImage(photos));
    // Bad sectors in the empty space between photos and one inside photo 5's data.
    inner.badSectors = {65536 * 3 / 512 + 100, 65536 * 3 / 512 + 101, 65536 * 9 / 512 + 120,
                        (65536 * 6 + 2048) / 512};
    std::vector<UnreadableRange> reported;
    KeepGoingReader medium(inner, [&](const UnreadableRange& range) { reported.push_back(range); });
    const Outcome outcome = scan(medium);
    EXPECT_EQ(outcome.result, kScanFinished);
    EXPECT_EQ(medium.unreadableBytes(), 4u * 512);
    EXPECT_EQ(reported.size(), 3u);
    size_t intact = 0;
    for (const auto& photo : photos) {
        for (const auto& [name, bytes] : outcome.files)
            intact += bytes == photo ? 1 : 0;
    }
    EXPECT_GE(intact, 11u);
}

}  // namespace
}  // namespace salvora

#include "formats/m2ts.h"

#include <gtest/gtest.h>

#include "carve/shared_checks.h"
#include "formats/candidate_driver.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::recogniseWindow;

std::vector<uint8_t> data(const char* name) {
    return test::readFile(test::dataPath(name));
}

CarveCandidate streamInProgress(FamilyTally& tally, uint64_t size, uint64_t expectedSize) {
    CarveCandidate current;
    current.tally = &tally;
    current.size = size;
    current.expectedSize = expectedSize;
    return current;
}

TEST(RecogniseM2ts, CamcorderStreamsAreTakenInBothForms) {
    CarveCandidate fresh;
    for (const char* name : {"samples/M2TS.mts", "video/avchd_style.m2ts"}) {
        ASSERT_EQ(recogniseWindow(recogniseM2tsHdmv, data(name), fresh), 1u) << name;
        EXPECT_STREQ(fresh.extension, "m2ts");
        EXPECT_EQ(fresh.expectedSize, 192u);
        EXPECT_EQ(fresh.minSize, 192u);
        EXPECT_EQ(fresh.blockCheck, &blockCheckM2ts192);
        EXPECT_EQ(fresh.endCheck, &endCheckTruncateToExpected);
    }
    ASSERT_EQ(recogniseWindow(recogniseM2tTshv, data("video/hdv_style.m2t"), fresh), 1u);
    EXPECT_STREQ(fresh.extension, "m2t");
    EXPECT_EQ(fresh.expectedSize, 188u);
    EXPECT_EQ(fresh.minSize, 188u);
    EXPECT_EQ(fresh.blockCheck, &blockCheckTs188);
}

TEST(RecogniseM2ts, NeedsThreeSyncBytesAndTheMarkers) {
    CarveCandidate fresh;
    for (size_t at : {4u, 196u, 388u, 215u, 232u}) {
        std::vector<uint8_t> bytes = data("samples/M2TS.mts");
        bytes[at] ^= 0x01;
        EXPECT_EQ(recogniseWindow(recogniseM2tsHdmv, bytes, fresh), 0u) << at;
    }
    for (size_t at : {0u, 188u, 376u, 395u, 398u}) {
        std::vector<uint8_t> bytes = data("video/hdv_style.m2t");
        bytes[at] ^= 0x01;
        EXPECT_EQ(recogniseWindow(recogniseM2tTshv, bytes, fresh), 0u) << at;
    }
    EXPECT_EQ(recogniseWindow(recogniseM2tsHdmv, data("video/testsrc.m2ts"), fresh), 0u);
    EXPECT_EQ(recogniseWindow(recogniseM2tTshv, data("video/testsrc.ts"), fresh), 0u);
}

TEST(RecogniseM2ts, StreamInProgressRefusesHdmvAlwaysAndTshvOnlyWhereItsNextPacketIsDue) {
    FileFamily m2ts{"m2ts", "", 0, 0, OutputMode::kWrite, 1, nullptr};
    FamilyTally tally{&m2ts};
    CarveCandidate fresh;
    EXPECT_EQ(recogniseWindow(recogniseM2tsHdmv, data("samples/M2TS.mts"), fresh,
                              streamInProgress(tally, 4096, 4100)),
              0u);
    EXPECT_EQ(recogniseWindow(recogniseM2tTshv, data("video/hdv_style.m2t"), fresh,
                              streamInProgress(tally, 4096, 4096)),
              0u);
    EXPECT_EQ(recogniseWindow(recogniseM2tTshv, data("video/hdv_style.m2t"), fresh,
                              streamInProgress(tally, 4096, 4100)),
              1u);
    FileFamily other{"mpg", "", 0, 0, OutputMode::kWrite, 1, nullptr};
    FamilyTally otherTally{&other};
    EXPECT_EQ(recogniseWindow(recogniseM2tsHdmv, data("samples/M2TS.mts"), fresh,
                              streamInProgress(otherTally, 4096, 4096)),
              1u);
}

// Sweeps the first broken unit across block boundaries: the file keeps the
// whole units before it, wherever it falls.
TEST(TransportStreamWalk, EndsAtTheFirstBrokenUnitWhereverItFalls) {
    const std::vector<uint8_t> stream = data("video/avchd_style.m2ts");
    for (size_t units = 3; units < 40; ++units) {
        std::vector<uint8_t> media(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(units * 192));
        media.resize(media.size() + 2000, 0x11);
        for (uint32_t blockSize : {512u, 1024u, 4096u}) {
            ASSERT_EQ(test::carve(recogniseM2tsHdmv, media, blockSize), static_cast<int64_t>(units * 192))
                << units << " units, blocks of " << blockSize;
        }
    }
    const std::vector<uint8_t> packets = data("video/hdv_style.m2t");
    for (size_t count = 3; count < 40; ++count) {
        std::vector<uint8_t> media(packets.begin(),
                                   packets.begin() + static_cast<std::ptrdiff_t>(count * 188));
        media.resize(media.size() + 2000, 0x11);
        for (uint32_t blockSize : {512u, 1024u, 4096u}) {
            ASSERT_EQ(test::carve(recogniseM2tTshv, media, blockSize), static_cast<int64_t>(count * 188))
                << count << " packets, blocks of " << blockSize;
        }
    }
}

TEST(TransportStreamWalk, WholeRealStreamsComeBackWhole) {
    for (const char* name : {"samples/M2TS.mts", "video/avchd_style.m2ts"}) {
        std::vector<uint8_t> media = data(name);
        const int64_t length = static_cast<int64_t>(media.size());
        media.resize(media.size() + 5000, 0);
        EXPECT_EQ(test::carve(recogniseM2tsHdmv, media, 512), length) << name;
    }
    std::vector<uint8_t> media = data("video/hdv_style.m2t");
    const int64_t length = static_cast<int64_t>(media.size());
    media.resize(media.size() + 5000, 0);
    EXPECT_EQ(test::carve(recogniseM2tTshv, media, 4096), length);
}

}  // namespace
}  // namespace salvora

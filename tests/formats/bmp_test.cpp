#include "formats/bmp.h"

#include <gtest/gtest.h>

#include "carve/shared_checks.h"
#include "formats/candidate_driver.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::recogniseWindow;

TEST(RecogniseBmp, RealBitmapsAreTakenWithTheirFileSize) {
    for (const char* name :
         {"bmp/gradient_24bit.bmp", "bmp/plasma_palette.bmp", "bmp/circle_v5.bmp", "samples/BMP.bmp"}) {
        const std::vector<uint8_t> bytes = test::readFile(test::dataPath(name));
        CarveCandidate fresh;
        ASSERT_EQ(recogniseWindow(recogniseBmp, bytes, fresh), 1u) << name;
        EXPECT_STREQ(fresh.extension, "bmp");
        EXPECT_EQ(fresh.expectedSize, bytes.size()) << name;
        EXPECT_EQ(fresh.minSize, 65u);
        EXPECT_EQ(fresh.blockCheck, &blockCheckUntilExpected);
        EXPECT_EQ(fresh.endCheck, &endCheckTruncateToExpected);
    }
}

TEST(RecogniseBmp, RefusesNonZeroReservedWords) {
    std::vector<uint8_t> bytes = test::readFile(test::dataPath("bmp/gradient_24bit.bmp"));
    for (size_t reserved = 6; reserved < 10; ++reserved) {
        std::vector<uint8_t> changed = bytes;
        changed[reserved] = 1;
        CarveCandidate fresh;
        EXPECT_EQ(recogniseWindow(recogniseBmp, changed, fresh), 0u) << reserved;
    }
}

TEST(BmpFile, IsCutToItsSizeAndDroppedWhenTooSmall) {
    std::vector<uint8_t> media = test::readFile(test::dataPath("bmp/gradient_24bit.bmp"));
    const int64_t length = static_cast<int64_t>(media.size());
    media.resize(10000, 0xAB);
    EXPECT_EQ(test::carve(recogniseBmp, media, 512), length);
    std::vector<uint8_t> tiny = media;
    tiny[2] = 64;  // a 64-byte bitmap: below the minimum of 65
    tiny[3] = 0;
    EXPECT_EQ(test::carve(recogniseBmp, tiny, 512), 0);
    tiny[2] = 65;
    EXPECT_EQ(test::carve(recogniseBmp, tiny, 512), 65);
}

}  // namespace
}  // namespace salvora

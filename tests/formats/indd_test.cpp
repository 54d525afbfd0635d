#include "formats/indd.h"

#include <gtest/gtest.h>

#include "formats/candidate_driver.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::recogniseWindow;

std::vector<uint8_t> sample() {
    return test::readFile(test::dataPath("samples/InDesign.indd"));
}

std::vector<uint8_t> withPageCount(uint32_t count) {
    std::vector<uint8_t> bytes = sample();
    for (int i = 0; i < 4; ++i)
        bytes[280 + i] = static_cast<uint8_t>(count >> (8 * i));
    return bytes;
}

TEST(RecogniseIndd, RealDocumentHasThreePagesOf4096Bytes) {
    CarveCandidate fresh;
    ASSERT_EQ(recogniseWindow(recogniseIndd, sample(), fresh), 1u);
    EXPECT_STREQ(fresh.extension, "indd");
    EXPECT_EQ(fresh.expectedSize, 12288u);
    EXPECT_EQ(fresh.endCheck, &endCheckIndd);
    EXPECT_EQ(fresh.blockCheck, nullptr);
}

TEST(RecogniseIndd, RefusesAnythingButTheWholeHeader) {
    for (size_t at : {0u, 15u, 16u, 23u}) {
        std::vector<uint8_t> bytes = sample();
        bytes[at] ^= 0x20;
        CarveCandidate fresh;
        EXPECT_EQ(recogniseWindow(recogniseIndd, bytes, fresh), 0u) << at;
    }
}

// Regression: (count + 1) in 32 bits made a count of 0xFFFFFFFF an empty
// document, which the end check then kept as 40960 bytes of whatever followed.
TEST(RecogniseIndd, PageCountArithmeticDoesNotWrap) {
    CarveCandidate fresh;
    ASSERT_EQ(recogniseWindow(recogniseIndd, withPageCount(0xFFFFFFFF), fresh), 1u);
    EXPECT_EQ(fresh.expectedSize, uint64_t{1} << 44);
    ASSERT_EQ(recogniseWindow(recogniseIndd, withPageCount(0x00100000), fresh), 1u);
    EXPECT_EQ(fresh.expectedSize, (uint64_t{0x00100000} + 1) * 4096) << "x 4096 in 64 bits too";
}

TEST(EndCheckIndd, KeepsUpTo40960BytesBeyondThePages) {
    CarveCandidate fresh;
    ASSERT_EQ(recogniseWindow(recogniseIndd, withPageCount(9), fresh), 1u);
    EXPECT_EQ(fresh.expectedSize, 40960u);
    const struct {
        uint64_t carved;
        uint64_t kept;
    } cases[] = {{90000, 81920}, {60000, 60000}, {81920, 81920}, {40960, 40960}, {40959, 0}};
    for (const auto& c : cases) {
        CarveCandidate candidate;
        candidate.expectedSize = fresh.expectedSize;
        candidate.size = c.carved;
        endCheckIndd(candidate);
        EXPECT_EQ(candidate.size, c.kept) << c.carved;
    }
}

}  // namespace
}  // namespace salvora

// The request as this Windows build sends it: built with the offsets of the
// SCSI_PASS_THROUGH structure of the Windows headers. The x64 build runs it
// under Wine.
#include "cardsec/pass_through_win.h"

#include <gtest/gtest.h>

#include "expected_requests.h"

namespace salvora::cardsec {
namespace {

const test::ExpectedLayout& thisArchitecture() {
    return sizeof(void*) == 8 ? test::kExpected64 : test::kExpected32;
}

TEST(SystemPassThroughLayout, IsTheStructureOfThisArchitecture) {
    const PassThroughLayout& layout = systemPassThroughLayout();
    const test::ExpectedLayout& expected = thisArchitecture();
    EXPECT_EQ(layout.headerSize, expected.header);
    EXPECT_EQ(layout.dataBufferOffset, expected.dataBufferOffsetAt);
    EXPECT_EQ(layout.dataBufferOffsetSize, expected.dataBufferOffsetSize);
    EXPECT_EQ(layout.senseInfoOffset, expected.senseInfoOffsetAt);
    EXPECT_EQ(layout.cdb, expected.cdbAt);
    EXPECT_EQ(layout.senseBuffer, expected.sense);
    EXPECT_EQ(layout.dataBuffer, expected.data);
    if (sizeof(void*) == 8) {
        EXPECT_EQ(layout.headerSize, 56u);
        EXPECT_EQ(layout.cdb, 36u);
    }
}

TEST(SystemPassThroughLayout, UnlockRequestIsByteExact) {
    const Cdb cdb{0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF2, 0, 0, 1, 0, 0, 0, 0};
    DataBlock block{};
    block[2] = 's';
    block[3] = 'e';
    const PassThroughRequest request =
        buildPassThroughRequest(systemPassThroughLayout(), cdb, Direction::kDataOut, block.data());
    EXPECT_EQ(request.bytes, test::expectedRequest(thisArchitecture(), cdb, 0, true, &block));
    EXPECT_EQ(request.inputLength, thisArchitecture().data + 512);
}

}  // namespace
}  // namespace salvora::cardsec

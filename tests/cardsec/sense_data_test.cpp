#include "cardsec/sense_data.h"

#include <gtest/gtest.h>

namespace salvora::cardsec {
namespace {

TEST(SenseData, FixedFormatKeyInByteTwoCodeInByteTwelve) {
    const uint8_t unitAttention[18] = {0x70, 0, 0x06, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x28, 0x00, 0, 0, 0, 0};
    const SenseData decoded = decodeSense(unitAttention, sizeof unitAttention);
    EXPECT_EQ(decoded.senseKey, 0x06);
    EXPECT_EQ(decoded.asc, 0x28);
    const uint8_t deferred[18] = {0xF1, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0, 0, 0, 0, 0};
    EXPECT_EQ(decodeSense(deferred, sizeof deferred).senseKey, 0x02);  // valid bit and code 0x71
    EXPECT_EQ(decodeSense(deferred, sizeof deferred).asc, 0x3A);
}

TEST(SenseData, DescriptorFormatKeyInByteOneCodeInByteTwo) {
    const uint8_t notReady[8] = {0x72, 0x02, 0x3A, 0x00, 0, 0, 0, 0};
    EXPECT_EQ(decodeSense(notReady, sizeof notReady).senseKey, 0x02);
    EXPECT_EQ(decodeSense(notReady, sizeof notReady).asc, 0x3A);
}

TEST(SenseData, ShortOrUnknownDataHasNoKey) {
    const uint8_t cut[12] = {0x70, 0, 0x06};
    EXPECT_EQ(decodeSense(cut, sizeof cut).senseKey, 0);  // the code in byte 12 did not come
    const uint8_t unknown[18] = {0x7F, 0, 0x06};
    EXPECT_EQ(decodeSense(unknown, sizeof unknown).senseKey, 0);
    EXPECT_EQ(decodeSense(nullptr, 18).senseKey, 0);
}

}  // namespace
}  // namespace salvora::cardsec

#include "cardsec/pass_through.h"

#include <gtest/gtest.h>

#include "cardsec/cf_commands.h"
#include "cardsec/sd_commands.h"
#include "support/card_fakes.h"

namespace salvora::cardsec {
namespace {

// The 592-byte request as the driver expects it, written out field by field.
std::array<uint8_t, 592> expectedRequest(const Cdb& cdb, uint8_t direction, bool withData,
                                         const DataBlock* out) {
    std::array<uint8_t, 592> bytes{};
    bytes[0] = 44;
    bytes[6] = 16;
    bytes[7] = 32;
    bytes[8] = direction;
    if (withData)
        bytes[13] = 0x02;  // 512 = 0x0200, little-endian
    bytes[16] = 0x2C;      // 300 = 0x012C
    bytes[17] = 0x01;
    bytes[20] = 80;
    bytes[24] = 48;
    std::copy(cdb.begin(), cdb.end(), bytes.begin() + 28);
    if (out)
        std::copy(out->begin(), out->end(), bytes.begin() + 80);
    return bytes;
}

TEST(PassThroughRequest, SdLockWithSixteenCharacterPasswordIsByteExact) {
    const Cdb cdb = sdCommandBlock(kSdLockUnlock);
    const DataBlock block = sdLockUnlockBlock(SdOperation::kLock, "ABCDEFGHIJKLMNOP");
    const PassThroughRequest request = buildPassThroughRequest(cdb, Direction::kDataOut, block.data());
    EXPECT_EQ(request.bytes, expectedRequest(cdb, 0, true, &block));
    EXPECT_EQ(request.inputLength, 592u);
    EXPECT_EQ(request.outputLength, 592u);
    EXPECT_EQ(request.bytes[28], 0xF5);
    EXPECT_EQ(request.bytes[29], 0x42);
    EXPECT_EQ(request.bytes[80], 0x05);
    EXPECT_EQ(request.bytes[81], 16);
    EXPECT_EQ(request.bytes[82], 'A');
    EXPECT_EQ(request.bytes[97], 'P');
    EXPECT_EQ(request.bytes[98], 0);
}

TEST(PassThroughRequest, ForcedEraseIsByteExact) {
    const Cdb cdb = sdCommandBlock(kSdLockUnlock);
    const DataBlock block = sdLockUnlockBlock(SdOperation::kForcedErase, "ignored");
    const PassThroughRequest request = buildPassThroughRequest(cdb, Direction::kDataOut, block.data());
    EXPECT_EQ(request.bytes, expectedRequest(cdb, 0, true, &block));
    EXPECT_EQ(request.bytes[80], 0x08);
    EXPECT_EQ(request.bytes[81], 0);
}

TEST(PassThroughRequest, SdStatusReadCarriesNoDataIn) {
    const Cdb cdb = sdCommandBlock(kSdSendStatus);
    DataBlock answer{};
    answer.fill(0xAB);  // the caller's buffer never enters a data-in request
    const PassThroughRequest request = buildPassThroughRequest(cdb, Direction::kDataIn, answer.data());
    EXPECT_EQ(request.bytes, expectedRequest(cdb, 1, true, nullptr));
    EXPECT_EQ(request.inputLength, 44u);
    EXPECT_EQ(request.outputLength, 592u);
}

TEST(PassThroughRequest, AtaPasswordBlockOfThreeCharactersIsByteExact) {
    const Cdb cdb = ataCommandBlock(kAtaSecuritySetPassword);
    const DataBlock block = ataPasswordBlock("abc");
    const PassThroughRequest request = buildPassThroughRequest(cdb, Direction::kDataOut, block.data());
    EXPECT_EQ(request.bytes, expectedRequest(cdb, 0, true, &block));
    EXPECT_EQ(request.bytes[80 + 2], 'a');
    EXPECT_EQ(request.bytes[80 + 4], 'c');
}

TEST(PassThroughRequest, IdentifyAndReadStatusAreDataIn) {
    for (uint8_t code : {kAtaIdentifyDevice, kAtaReadStatus}) {
        const Cdb cdb = ataCommandBlock(code);
        DataBlock answer{};
        const PassThroughRequest request = buildPassThroughRequest(cdb, Direction::kDataIn, answer.data());
        EXPECT_EQ(request.bytes, expectedRequest(cdb, 1, true, nullptr)) << int(code);
        EXPECT_EQ(request.inputLength, 44u);
    }
}

TEST(PassThroughRequest, ErasePrepareHasNoDataPhase) {
    const Cdb cdb = ataCommandBlock(kAtaSecurityErasePrepare);
    const PassThroughRequest request = buildPassThroughRequest(cdb, Direction::kNoData, nullptr);
    EXPECT_EQ(request.bytes, expectedRequest(cdb, 2, false, nullptr));
    EXPECT_EQ(request.inputLength, 44u);
    EXPECT_EQ(request.outputLength, 80u);
}

// A transport that answers with fixed results and fills data-in blocks.
class ScriptedTransport : public ReaderTransport {
  public:
    TransportResult answer{true, kScsiGood};
    uint8_t fill = 0x5A;
    int calls = 0;

    SlotHandle openDrive(int) override { return 1; }
    void closeDrive(SlotHandle) override {}
    DeviceIdentity driveIdentity(SlotHandle) override { return {}; }
    int diskNumberOfLetter(char) override { return -1; }
    std::string drivePath(int) override { return ""; }
    TransportResult execute(SlotHandle, const Cdb&, Direction direction, uint8_t* data) override {
        ++calls;
        if (direction == Direction::kDataIn)
            std::fill(data, data + 512, fill);
        return answer;
    }
};

TEST(SendPassThrough, FailedDataInLeavesTheBufferAllZero) {
    ScriptedTransport transport;
    transport.answer = {false, 0};
    DataBlock block;
    block.fill(0x77);
    const PassThroughResult result =
        SendPassThrough(transport, 1, block.data(), sdCommandBlock(kSdSendStatus), Direction::kDataIn);
    EXPECT_FALSE(result.delivered);
    EXPECT_EQ(result.value, 0);
    EXPECT_EQ(block, DataBlock{});
}

TEST(SendPassThrough, NoDataResultIsTheStatusByteEvenWhenTheCallFails) {
    ScriptedTransport transport;
    const Cdb tur{};
    transport.answer = {true, kScsiCheckCondition};
    EXPECT_EQ(SendPassThrough(transport, 1, nullptr, tur, Direction::kNoData).value, 2);
    transport.answer = {false, kScsiCheckCondition};
    EXPECT_EQ(SendPassThrough(transport, 1, nullptr, tur, Direction::kNoData).value, 0);
}

TEST(SendPassThrough, DataDirectionsReportTheCallNotTheStatus) {
    ScriptedTransport transport;
    DataBlock block{};
    transport.answer = {true, kScsiCheckCondition};
    const PassThroughResult result =
        SendPassThrough(transport, 1, block.data(), sdCommandBlock(kSdLockUnlock), Direction::kDataOut);
    EXPECT_EQ(result.value, 1);
    EXPECT_FALSE(result.answered());
}

TEST(SendPassThrough, RefusesMismatchedDirectionAndDataAndInvalidHandles) {
    ScriptedTransport transport;
    DataBlock block{};
    const Cdb cdb = sdCommandBlock(kSdSendStatus);
    EXPECT_FALSE(SendPassThrough(transport, 1, nullptr, cdb, Direction::kDataIn).delivered);
    EXPECT_FALSE(SendPassThrough(transport, 1, nullptr, cdb, Direction::kDataOut).delivered);
    EXPECT_FALSE(SendPassThrough(transport, 1, block.data(), cdb, Direction::kNoData).delivered);
    EXPECT_FALSE(SendPassThrough(transport, kInvalidSlot, block.data(), cdb, Direction::kDataIn).delivered);
    EXPECT_EQ(transport.calls, 0);
}

TEST(ProbeCardPresence, TellsCardNoCardAndUnreachableReaderApart) {
    ScriptedTransport transport;
    transport.answer = {true, kScsiGood};
    EXPECT_EQ(ProbeCardPresence(transport, 1), 0);
    transport.answer = {true, kScsiCheckCondition};
    EXPECT_EQ(ProbeCardPresence(transport, 1), 2);
    // Regression: a probe that never reached the reader read as "card present".
    transport.answer = {false, 0};
    EXPECT_EQ(ProbeCardPresence(transport, 1), -1);
    EXPECT_EQ(ProbeCardPresence(transport, kInvalidSlot), -1);
}

}  // namespace
}  // namespace salvora::cardsec

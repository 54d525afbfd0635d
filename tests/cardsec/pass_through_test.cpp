#include "cardsec/pass_through.h"

#include <gtest/gtest.h>

#include "cardsec/cf_commands.h"
#include "cardsec/sd_commands.h"
#include "expected_requests.h"
#include "support/card_fakes.h"

namespace salvora::cardsec {
namespace {

using test::ExpectedLayout;
using test::expectedRequest;
using test::kExpected32;
using test::kExpected64;

// Both layouts are built on every platform: the 64-bit one is what the x64
// Windows program sends, the 32-bit one what a 32-bit build would.
struct Layouts {
    const PassThroughLayout& built;
    const ExpectedLayout& expected;
    const char* name;
};
const Layouts kBoth[] = {{kPassThrough32, kExpected32, "32-bit"}, {kPassThrough64, kExpected64, "64-bit"}};

TEST(PassThroughRequest, SdLockWithSixteenCharacterPasswordIsByteExact) {
    const Cdb cdb{0xF5, 0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    const DataBlock block = sdLockUnlockBlock(SdOperation::kLock, "ABCDEFGHIJKLMNOP");
    for (const Layouts& l : kBoth) {
        const PassThroughRequest request =
            buildPassThroughRequest(l.built, cdb, Direction::kDataOut, block.data());
        EXPECT_EQ(request.bytes, expectedRequest(l.expected, cdb, 0, true, &block)) << l.name;
        EXPECT_EQ(request.inputLength, l.expected.data + 512) << l.name;
        EXPECT_EQ(request.outputLength, l.expected.data + 512) << l.name;
    }
    const PassThroughRequest x86 =
        buildPassThroughRequest(kPassThrough32, cdb, Direction::kDataOut, block.data());
    EXPECT_EQ(x86.bytes.size(), 592u);
    EXPECT_EQ(x86.bytes[0], 44);
    EXPECT_EQ(x86.bytes[20], 80);
    EXPECT_EQ(x86.bytes[24], 48);
    EXPECT_EQ(x86.bytes[28], 0xF5);
    EXPECT_EQ(x86.bytes[29], 0x42);
    EXPECT_EQ(x86.bytes[80], 0x05);
    EXPECT_EQ(x86.bytes[81], 16);
    EXPECT_EQ(x86.bytes[82], 'A');
    EXPECT_EQ(x86.bytes[97], 'P');
    EXPECT_EQ(x86.bytes[98], 0);
}

// Regression: the x64 program sent the 32-bit layout (header 44 bytes,
// DataBufferOffset at 20, Cdb at 28), which a 64-bit driver refuses.
TEST(PassThroughRequest, SixtyFourBitHeaderMovesEveryFieldFromDataBufferOffsetOn) {
    const Cdb cdb{0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF2, 0, 0, 1, 0, 0, 0, 0};
    const DataBlock block = ataPasswordBlock("pw");
    const PassThroughRequest request =
        buildPassThroughRequest(kPassThrough64, cdb, Direction::kDataOut, block.data());
    ASSERT_EQ(request.bytes.size(), 604u);
    EXPECT_EQ(request.bytes[0], 56);  // Length: sizeof the 64-bit header
    EXPECT_EQ(request.bytes[1], 0);
    for (size_t at = 20; at < 24; ++at)
        EXPECT_EQ(request.bytes[at], 0) << "padding before the 8-byte DataBufferOffset, byte " << at;
    EXPECT_EQ(request.bytes[24], 92);  // DataBufferOffset, 8 bytes
    for (size_t at = 25; at < 32; ++at)
        EXPECT_EQ(request.bytes[at], 0) << at;
    EXPECT_EQ(request.bytes[32], 60);  // SenseInfoOffset
    EXPECT_EQ(request.bytes[36], 0xF9);
    EXPECT_EQ(request.bytes[37], 0x81);
    EXPECT_EQ(request.bytes[43], 0xE0);
    EXPECT_EQ(request.bytes[44], 0xF2);
    EXPECT_EQ(request.bytes[47], 1);
    EXPECT_EQ(request.bytes[92 + 2], 'p');
    EXPECT_EQ(request.bytes[92 + 3], 'w');
    EXPECT_EQ(request.inputLength, 604u);
}

TEST(PassThroughRequest, ForcedEraseIsByteExact) {
    const Cdb cdb{0xF5, 0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    const DataBlock block = sdLockUnlockBlock(SdOperation::kForcedErase, "ignored");
    for (const Layouts& l : kBoth) {
        const PassThroughRequest request =
            buildPassThroughRequest(l.built, cdb, Direction::kDataOut, block.data());
        EXPECT_EQ(request.bytes, expectedRequest(l.expected, cdb, 0, true, &block)) << l.name;
        EXPECT_EQ(request.bytes[l.expected.data], 0x08) << l.name;
        EXPECT_EQ(request.bytes[l.expected.data + 1], 0) << l.name;
    }
}

TEST(PassThroughRequest, DataInCarriesNoDataAndSendsOnlyTheHeader) {
    const Cdb status{0xF5, 0x13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    const Cdb identify{0xF9, 0x80, 0, 0, 0, 0, 0, 0xE0, 0xEC, 0, 0, 1, 0, 0, 0, 0};
    const Cdb readStatus{0xF9, 0x80, 0, 0, 0, 0, 0, 0xE0, 0xAA, 0, 0, 1, 0, 0, 0, 0};
    DataBlock answer{};
    answer.fill(0xAB);  // the caller's buffer never enters a data-in request
    for (const Layouts& l : kBoth) {
        for (const Cdb& cdb : {status, identify, readStatus}) {
            const PassThroughRequest request =
                buildPassThroughRequest(l.built, cdb, Direction::kDataIn, answer.data());
            EXPECT_EQ(request.bytes, expectedRequest(l.expected, cdb, 1, true, nullptr)) << l.name;
            EXPECT_EQ(request.inputLength, l.expected.header) << l.name;
            EXPECT_EQ(request.outputLength, l.expected.data + 512) << l.name;
        }
    }
}

TEST(PassThroughRequest, ErasePrepareHasNoDataPhase) {
    const Cdb cdb{0xF9, 0x80, 0, 0, 0, 0, 0, 0xE0, 0xF3, 0, 0, 0, 0, 0, 0, 0};
    for (const Layouts& l : kBoth) {
        const PassThroughRequest request = buildPassThroughRequest(l.built, cdb, Direction::kNoData, nullptr);
        EXPECT_EQ(request.bytes, expectedRequest(l.expected, cdb, 2, false, nullptr)) << l.name;
        EXPECT_EQ(request.inputLength, l.expected.header) << l.name;
        EXPECT_EQ(request.outputLength, l.expected.data) << l.name;
    }
}

TEST(RequestAnswer, StatusByteAndFixedFormatSense) {
    for (const Layouts& l : kBoth) {
        PassThroughRequest request = buildPassThroughRequest(l.built, Cdb{}, Direction::kNoData, nullptr);
        request.bytes[2] = 0x02;  // ScsiStatus: CHECK CONDITION
        request.bytes[7] = 18;    // SenseInfoLength written back
        request.bytes[l.expected.sense + 0] = 0x70;
        request.bytes[l.expected.sense + 2] = 0x06;   // UNIT ATTENTION
        request.bytes[l.expected.sense + 12] = 0x28;  // medium may have changed
        const TransportResult answer = requestAnswer(l.built, request);
        EXPECT_TRUE(answer.delivered) << l.name;
        EXPECT_EQ(answer.scsiStatus, 0x02) << l.name;
        EXPECT_EQ(answer.senseKey, 0x06) << l.name;
        EXPECT_EQ(answer.asc, 0x28) << l.name;
        EXPECT_TRUE(isUnitAttention(answer)) << l.name;
    }
}

// A transport that answers with scripted results and fills data-in blocks.
class ScriptedTransport : public ReaderTransport {
  public:
    std::vector<TransportResult> answers;  // one per call; the last one repeats
    uint8_t fill = 0x5A;
    int calls = 0;

    SlotHandle openDrive(int) override { return 1; }
    void closeDrive(SlotHandle) override {}
    DeviceIdentity driveIdentity(SlotHandle) override { return {}; }
    int diskNumberOfLetter(char) override { return -1; }
    std::string drivePath(int) override { return ""; }
    TransportResult execute(SlotHandle, const Cdb&, Direction direction, uint8_t* data) override {
        const TransportResult answer = answers.at(std::min<size_t>(calls, answers.size() - 1));
        ++calls;
        if (direction == Direction::kDataIn)
            std::fill(data, data + 512, fill);
        return answer;
    }
};

const TransportResult kGood{true, 0x00};
const TransportResult kUnitAttention{true, 0x02, 0x06, 0x28};
const TransportResult kNoMedium{true, 0x02, 0x02, 0x3A};

TEST(SendPassThrough, FailedDataInLeavesTheBufferAllZero) {
    ScriptedTransport transport;
    transport.answers = {{false, 0}};
    DataBlock block;
    block.fill(0x77);
    const PassThroughResult result =
        SendPassThrough(transport, 1, block.data(), sdCommandBlock(kSdSendStatus), Direction::kDataIn);
    EXPECT_FALSE(result.delivered);
    EXPECT_EQ(result.value, 0);
    EXPECT_EQ(block, DataBlock{});
}

TEST(SendPassThrough, RefusedDataInLeavesTheBufferAllZero) {
    ScriptedTransport transport;
    transport.answers = {kNoMedium};
    DataBlock block{};
    SendPassThrough(transport, 1, block.data(), sdCommandBlock(kSdSendStatus), Direction::kDataIn);
    EXPECT_EQ(block, DataBlock{});
}

TEST(SendPassThrough, NoDataResultIsTheStatusByteEvenWhenTheCallFails) {
    ScriptedTransport transport;
    const Cdb tur{};
    transport.answers = {{true, kScsiCheckCondition}};
    EXPECT_EQ(SendPassThrough(transport, 1, nullptr, tur, Direction::kNoData).value, 2);
    transport.answers = {{false, kScsiCheckCondition}};
    EXPECT_EQ(SendPassThrough(transport, 1, nullptr, tur, Direction::kNoData).value, 0);
}

TEST(SendPassThrough, DataDirectionsReportTheCallNotTheStatus) {
    ScriptedTransport transport;
    DataBlock block{};
    transport.answers = {{true, kScsiCheckCondition}};
    const PassThroughResult result =
        SendPassThrough(transport, 1, block.data(), sdCommandBlock(kSdLockUnlock), Direction::kDataOut);
    EXPECT_EQ(result.value, 1);
    EXPECT_FALSE(result.answered());
}

TEST(SendPassThrough, ReadingAfterAUnitAttentionIsRepeatedOnceAndReported) {
    ScriptedTransport transport;
    transport.answers = {kUnitAttention, kGood};
    DataBlock block{};
    const PassThroughResult read =
        SendPassThrough(transport, 1, block.data(), sdCommandBlock(kSdSendStatus), Direction::kDataIn);
    EXPECT_TRUE(read.answered());
    EXPECT_TRUE(read.mediumChanged);
    EXPECT_EQ(transport.calls, 2);
    EXPECT_EQ(block[0], 0x5A);
}

// A security command must never be repeated to what may be another card.
TEST(SendPassThrough, DataOutAfterAUnitAttentionIsNotRepeated) {
    ScriptedTransport transport;
    transport.answers = {kUnitAttention, kGood};
    DataBlock block = sdLockUnlockBlock(SdOperation::kLock, "pw");
    const PassThroughResult sent =
        SendPassThrough(transport, 1, block.data(), sdCommandBlock(kSdLockUnlock), Direction::kDataOut);
    EXPECT_FALSE(sent.answered());
    EXPECT_TRUE(sent.mediumChanged);
    EXPECT_EQ(transport.calls, 1);
}

TEST(SendPassThrough, RefusesMismatchedDirectionAndDataAndInvalidHandles) {
    ScriptedTransport transport;
    transport.answers = {kGood};
    DataBlock block{};
    const Cdb cdb = sdCommandBlock(kSdSendStatus);
    EXPECT_FALSE(SendPassThrough(transport, 1, nullptr, cdb, Direction::kDataIn).delivered);
    EXPECT_FALSE(SendPassThrough(transport, 1, nullptr, cdb, Direction::kDataOut).delivered);
    EXPECT_FALSE(SendPassThrough(transport, 1, block.data(), cdb, Direction::kNoData).delivered);
    EXPECT_FALSE(SendPassThrough(transport, kInvalidSlot, block.data(), cdb, Direction::kDataIn).delivered);
    EXPECT_EQ(transport.calls, 0);
}

TEST(ProbeCardPresence, TellsCardNoCardChangedCardAndUnreachableReaderApart) {
    ScriptedTransport transport;
    transport.answers = {kGood};
    EXPECT_EQ(ProbeCardPresence(transport, 1), CardPresence::kPresent);
    transport.answers = {kNoMedium};
    EXPECT_EQ(ProbeCardPresence(transport, 1), CardPresence::kAbsent);
    transport.answers = {{true, kScsiCheckCondition}};  // no sense data at all
    EXPECT_EQ(ProbeCardPresence(transport, 1), CardPresence::kAbsent);
    transport.calls = 0;
    transport.answers = {kUnitAttention, kGood};
    EXPECT_EQ(ProbeCardPresence(transport, 1), CardPresence::kChanged);
    transport.calls = 0;
    transport.answers = {kUnitAttention, kNoMedium};
    EXPECT_EQ(ProbeCardPresence(transport, 1), CardPresence::kAbsent);
    // Regression: a probe that never reached the reader read as "card present".
    transport.answers = {{false, 0}};
    EXPECT_EQ(ProbeCardPresence(transport, 1), CardPresence::kUnknown);
    EXPECT_EQ(ProbeCardPresence(transport, kInvalidSlot), CardPresence::kUnknown);
    transport.answers = {{true, 0x08}};  // BUSY tells neither
    EXPECT_EQ(ProbeCardPresence(transport, 1), CardPresence::kUnknown);
}

TEST(ProbeCardPresence, KeepsTheClassicNumbers) {
    EXPECT_EQ(static_cast<int>(CardPresence::kPresent), 0);
    EXPECT_EQ(static_cast<int>(CardPresence::kAbsent), 2);
    EXPECT_EQ(static_cast<int>(CardPresence::kUnknown), -1);
}

}  // namespace
}  // namespace salvora::cardsec

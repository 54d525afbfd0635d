#include "cardsec/cf_commands.h"

#include <gtest/gtest.h>

#include <deque>

#include "cardsec/messages.h"
#include "support/card_fakes.h"

namespace salvora::cardsec {
namespace {

using test::FakeTime;
using test::SimRig;

// Expected bytes are literals of the protocol description, so a wrong
// opcode constant shows up here.
TEST(AtaCommandBlock, EveryCommandHasItsOpcodeDirectionByteAndBlockCount) {
    const struct {
        uint8_t code;
        Cdb expected;
        Direction direction;
    } cases[] = {
        {kAtaIdentifyDevice,
         {0xF9, 0x80, 0, 0, 0, 0, 0, 0xE0, 0xEC, 0, 0, 1, 0, 0, 0, 0},
         Direction::kDataIn},
        {kAtaReadStatus, {0xF9, 0x80, 0, 0, 0, 0, 0, 0xE0, 0xAA, 0, 0, 1, 0, 0, 0, 0}, Direction::kDataIn},
        {kAtaSecuritySetPassword,
         {0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF1, 0, 0, 1, 0, 0, 0, 0},
         Direction::kDataOut},
        {kAtaSecurityUnlock,
         {0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF2, 0, 0, 1, 0, 0, 0, 0},
         Direction::kDataOut},
        {kAtaSecurityErasePrepare,
         {0xF9, 0x80, 0, 0, 0, 0, 0, 0xE0, 0xF3, 0, 0, 0, 0, 0, 0, 0},
         Direction::kNoData},
        {kAtaSecurityEraseUnit,
         {0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF4, 0, 0, 1, 0, 0, 0, 0},
         Direction::kDataOut},
        {kAtaSecurityDisablePassword,
         {0xF9, 0x81, 0, 0, 0, 0, 0, 0xE0, 0xF6, 0, 0, 1, 0, 0, 0, 0},
         Direction::kDataOut},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ataCommandBlock(c.code), c.expected) << int(c.code);
        EXPECT_EQ(ataDirection(c.code), c.direction) << int(c.code);
    }
}

TEST(AtaOpcodes, AreTheNumbersOfTheAtaStandardAndTheReader) {
    EXPECT_EQ(kAtaIdentifyDevice, 0xEC);
    EXPECT_EQ(kAtaReadStatus, 0xAA);
    EXPECT_EQ(kAtaSecuritySetPassword, 0xF1);
    EXPECT_EQ(kAtaSecurityUnlock, 0xF2);
    EXPECT_EQ(kAtaSecurityErasePrepare, 0xF3);
    EXPECT_EQ(kAtaSecurityEraseUnit, 0xF4);
    EXPECT_EQ(kAtaSecurityDisablePassword, 0xF6);
    EXPECT_EQ(kAtaStatusBusy, 0x80);
    EXPECT_EQ(kAtaStatusDeviceFault, 0x20);
    EXPECT_EQ(kAtaStatusError, 0x01);
}

TEST(AtaPasswordBlock, ThreeCharactersAfterTwoZeroBytes) {
    DataBlock expected{};
    expected[2] = 'x', expected[3] = 'y', expected[4] = 'z';
    EXPECT_EQ(ataPasswordBlock("xyz"), expected);
}

TEST(AtaPasswordBlock, TakesAtMostThirtyTwoBytes) {
    const DataBlock block = ataPasswordBlock(std::string(40, 'q'));
    EXPECT_EQ(block[33], 'q');
    EXPECT_EQ(block[34], 0);
}

TEST(SecurityWord, TextsInTheirOrder) {
    EXPECT_EQ(decodeSecurityWord(0x0000).text, "This card does not support security feature");
    EXPECT_EQ(decodeSecurityWord(0x0001).text, "Security: Disabled\n");
    EXPECT_EQ(decodeSecurityWord(0x000B).text, "This card is Frozen\nSecurity: Enabled\n");
    EXPECT_EQ(
        decodeSecurityWord(0x0017).text,
        "Security: Enabled\nMaximum number of failed login attemts exceeded.\nPlease reinsert card to try "
        "again.\n");
    EXPECT_EQ(decodeSecurityWord(0x0123).text, "Security: Enabled\nSecurity level: Max\nSupports Enh. erase");
}

TEST(SecurityWord, FlagsFollowTheBits) {
    const CfSecurityReport locked = decodeSecurityWord(0x0017);
    EXPECT_TRUE(locked.supported && locked.enabled && locked.locked && locked.expired);
    EXPECT_FALSE(locked.usable());
    EXPECT_FALSE(decodeSecurityWord(0x0009).usable());
    EXPECT_TRUE(decodeSecurityWord(0x0003).usable());
    EXPECT_FALSE(decodeSecurityWord(0x0000).supported);
}

TEST(EraseTimeText, FromWord89) {
    EXPECT_EQ(EraseTimeText(0), "");
    EXPECT_EQ(EraseTimeText(1), "Erase Time:~ 2 Minutes");
    EXPECT_EQ(EraseTimeText(254), "Erase Time:~ 508 Minutes");
    EXPECT_EQ(EraseTimeText(255), "Erase Time:Over 508 Minutes");
}

// Answers the vendor status read with the next scripted status byte; an empty
// script means the card is gone (CHECK CONDITION).
class StatusScript : public ReaderTransport {
  public:
    std::deque<int> statuses;  // -1: the call does not reach the reader
    int reads = 0;

    SlotHandle openDrive(int) override { return 1; }
    void closeDrive(SlotHandle) override {}
    DeviceIdentity driveIdentity(SlotHandle) override { return {}; }
    int diskNumberOfLetter(char) override { return -1; }
    std::string drivePath(int) override { return ""; }
    TransportResult execute(SlotHandle, const Cdb& cdb, Direction, uint8_t* data) override {
        if (cdb[8] != kAtaReadStatus)
            return {true, kScsiGood};
        ++reads;
        if (statuses.empty())
            return {true, kScsiCheckCondition};
        const int status = statuses.front();
        statuses.pop_front();
        if (status < 0)
            return {};
        data[7] = static_cast<uint8_t>(status);
        return {true, kScsiGood};
    }
};

constexpr uint32_t kNoLimit = 1u << 31;

TEST(WaitAtaReady, SleepsTwoSecondsWhileBusy) {
    StatusScript transport;
    transport.statuses = {0x80, 0x50};
    FakeTime time;
    EXPECT_EQ(WaitAtaReady(transport, 1, time, kNoLimit), AtaWait::kReady);
    EXPECT_EQ(time.sleeps, std::vector<uint32_t>{2000});
}

TEST(WaitAtaReady, ErrorOrDeviceFaultIsFailure) {
    FakeTime time;
    StatusScript error;
    error.statuses = {0x51};
    EXPECT_EQ(WaitAtaReady(error, 1, time, kNoLimit), AtaWait::kError);
    StatusScript fault;
    fault.statuses = {0x70};
    EXPECT_EQ(WaitAtaReady(fault, 1, time, kNoLimit), AtaWait::kError);
}

// Regression: a failed status read gave status 0, which read as ready and
// error-free.
TEST(WaitAtaReady, UnansweredReadIsNotReady) {
    FakeTime time;
    StatusScript unplugged;
    unplugged.statuses = {-1};
    EXPECT_EQ(WaitAtaReady(unplugged, 1, time, kNoLimit), AtaWait::kNoAnswer);
    StatusScript removed;  // no card: CHECK CONDITION
    EXPECT_EQ(WaitAtaReady(removed, 1, time, kNoLimit), AtaWait::kNoAnswer);
}

TEST(WaitAtaReady, CardVanishingDuringALongBusyEndsTheWait) {
    StatusScript transport;
    transport.statuses = {0x80, 0x80, 0x80, 0x80};
    FakeTime time;
    EXPECT_EQ(WaitAtaReady(transport, 1, time, kNoLimit), AtaWait::kNoAnswer);
    EXPECT_EQ(transport.reads, 5);
    EXPECT_EQ(time.sleeps.size(), 4u);
}

// Regression: the wait had no limit, on the window thread too, so a card
// that stayed busy hung the window and the command line for good.
TEST(WaitAtaReady, EndsAtItsLimitWithoutAnotherRead) {
    StatusScript stuck;
    stuck.statuses = std::deque<int>(100, 0x80);
    FakeTime time;
    EXPECT_EQ(WaitAtaReady(stuck, 1, time, 2000), AtaWait::kTimedOut);
    EXPECT_EQ(time.sleeps, std::vector<uint32_t>{2000});
    EXPECT_EQ(stuck.reads, 2);
    FakeTime longer;
    EXPECT_EQ(WaitAtaReady(stuck, 1, longer, 6000), AtaWait::kTimedOut);
    EXPECT_EQ(longer.sleeps, (std::vector<uint32_t>{2000, 2000, 2000}));
    StatusScript late;
    late.statuses = {0x80, 0x80, 0x50};
    FakeTime ready;
    EXPECT_EQ(WaitAtaReady(late, 1, ready, 4000), AtaWait::kReady);  // the last read within the limit
}

TEST(WaitAtaReady, LimitsAreAFewSecondsAndTheEraseTimeOfWord89) {
    EXPECT_EQ(kInteractiveWaitMs, 2000u);
    EXPECT_EQ(kCommandWaitMs, 6000u);
    EXPECT_EQ(eraseWaitLimitMs(1), 300000u);      // 2 min + 1 min + 2 min
    EXPECT_EQ(eraseWaitLimitMs(100), 18120000u);  // 200 min * 1.5 + 2 min
    EXPECT_EQ(eraseWaitLimitMs(0), 45840000u);    // unknown: 508 min * 1.5 + 2 min
    EXPECT_EQ(eraseWaitLimitMs(255), 86400000u);  // more than 508 minutes: a day
}

TEST(ReadCfSecurityStatus, DecodesWord128OfTheSimulatedCard) {
    SimRig rig;
    SimCfCard card;
    card.setUserPassword("pw");
    card.enhancedErase = true;
    card.eraseUnits = 7;
    rig.reader.insertCf(card);
    const SlotHandle handle = rig.transport.openDrive(kSimCfDrive);
    DataBlock identify{};
    CfState state;
    const CfSecurityReport report =
        ReadCfSecurityStatus(rig.transport, handle, identify, state, rig.time, kInteractiveWaitMs);
    EXPECT_TRUE(report.identified);
    EXPECT_EQ(report.text, "Security: Enabled\nSupports Enh. erase");
    EXPECT_TRUE(report.locked);
    EXPECT_EQ(report.eraseTimeByte, 7);
    EXPECT_TRUE(state.m_bCfSecurityEnabled);
    EXPECT_EQ(identify[256], 0x27);
}

TEST(ReadCfSecurityStatus, EmptySlotGivesNoTextAndBlankData) {
    SimRig rig;
    const SlotHandle handle = rig.transport.openDrive(kSimCfDrive);
    DataBlock identify;
    identify.fill(0x33);
    CfState state;
    state.m_bCfSecurityEnabled = true;
    const CfSecurityReport report =
        ReadCfSecurityStatus(rig.transport, handle, identify, state, rig.time, kInteractiveWaitMs);
    EXPECT_FALSE(report.identified);
    EXPECT_EQ(report.text, "");
    EXPECT_TRUE(identifyDataIsBlank(identify));
    EXPECT_TRUE(state.m_bCfSecurityEnabled);
}

TEST(ReadCfSecurityStatus, InvalidHandleSendsNothing) {
    SimRig rig;
    DataBlock identify{};
    CfState state;
    EXPECT_EQ(
        ReadCfSecurityStatus(rig.transport, kInvalidSlot, identify, state, rig.time, kInteractiveWaitMs).text,
        "Unable to open CF slot!!");
}

TEST(ReadCfSecurityStatus, CardThatStaysBusySaysItDidNotAnswerWithinTwoSeconds) {
    SimRig rig;
    rig.reader.insertCf(SimCfCard{});
    ASSERT_TRUE(rig.reader.setFault(SimSlot::kCf, SimFault::kStuckBusy));
    const SlotHandle handle = rig.transport.openDrive(kSimCfDrive);
    DataBlock identify{};
    CfState state;
    const CfSecurityReport report =
        ReadCfSecurityStatus(rig.transport, handle, identify, state, rig.time, kInteractiveWaitMs);
    EXPECT_FALSE(report.identified);
    EXPECT_TRUE(report.timedOut);
    EXPECT_EQ(report.text, "The card did not answer.");
    EXPECT_EQ(rig.time.sleeps, std::vector<uint32_t>{2000});
    EXPECT_EQ(rig.reader.refused, 0);
}

// IDENTIFY DEVICE data as the ATA standard lays it out: words little-endian,
// strings two characters per word with the first in the high byte.
DataBlock identifyData() {
    DataBlock data{};
    const char serial[] = "ABCD1234";  // words 10..19
    for (size_t i = 0; i < 8; ++i)
        data[20 + (i ^ 1)] = static_cast<uint8_t>(serial[i]);
    for (size_t i = 8; i < 20; ++i)
        data[20 + (i ^ 1)] = ' ';
    const char model[] = "Card Maker CF";  // words 27..46
    for (size_t i = 0; i < 40; ++i)
        data[54 + (i ^ 1)] = i < 13 ? static_cast<uint8_t>(model[i]) : ' ';
    data[178] = 7;     // word 89 low byte
    data[179] = 0x01;  // word 89 high byte, not part of the time
    data[256] = 0x07;  // word 128: supported, enabled, locked
    data[257] = 0x01;  // level Maximum
    return data;
}

TEST(IdentifyData, SerialModelEraseTimeAndSecurityWord) {
    const DataBlock data = identifyData();
    const CfCardIdentity identity = cfCardIdentity(data);
    EXPECT_EQ(identity.serial, "ABCD1234");
    EXPECT_EQ(identity.model, "Card Maker CF");
    EXPECT_EQ(identifyEraseTimeByte(data), 7);
    EXPECT_EQ(identifySecurityWord(data), 0x0107);
    const CfSecurityReport report = decodeIdentify(data);
    EXPECT_TRUE(report.enabled && report.locked && report.levelMax);
    EXPECT_EQ(report.eraseTimeByte, 7);
}

TEST(IdentifyData, BlankMeansAllZeroOrAllOnes) {
    DataBlock data{};
    EXPECT_TRUE(identifyDataIsBlank(data));
    data.fill(0xFF);
    EXPECT_TRUE(identifyDataIsBlank(data));
    data[511] = 0xFE;
    EXPECT_FALSE(identifyDataIsBlank(data));
}

}  // namespace
}  // namespace salvora::cardsec

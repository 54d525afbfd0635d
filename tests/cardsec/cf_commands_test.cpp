#include "cardsec/cf_commands.h"

#include <gtest/gtest.h>

#include <deque>

#include "cardsec/messages.h"
#include "support/card_fakes.h"

namespace salvora::cardsec {
namespace {

using test::FakeTime;
using test::SimRig;

TEST(AtaCommandBlock, EveryCommandHasItsDirectionByteAndBlockCount) {
    const struct {
        uint8_t code;
        uint8_t byte1;
        uint8_t blocks;
        Direction direction;
    } cases[] = {
        {kAtaIdentifyDevice, 0x80, 1, Direction::kDataIn},
        {kAtaReadStatus, 0x80, 1, Direction::kDataIn},
        {kAtaSecuritySetPassword, 0x81, 1, Direction::kDataOut},
        {kAtaSecurityUnlock, 0x81, 1, Direction::kDataOut},
        {kAtaSecurityErasePrepare, 0x80, 0, Direction::kNoData},
        {kAtaSecurityEraseUnit, 0x81, 1, Direction::kDataOut},
        {kAtaSecurityDisablePassword, 0x81, 1, Direction::kDataOut},
    };
    for (const auto& c : cases) {
        const Cdb expected{0xF9, c.byte1, 0, 0, 0, 0, 0, 0xE0, c.code, 0, 0, c.blocks, 0, 0, 0, 0};
        EXPECT_EQ(ataCommandBlock(c.code), expected) << int(c.code);
        EXPECT_EQ(ataDirection(c.code), c.direction) << int(c.code);
    }
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

TEST(WaitAtaReady, SleepsTwoSecondsWhileBusy) {
    StatusScript transport;
    transport.statuses = {0x80, 0x50};
    FakeTime time;
    EXPECT_TRUE(WaitAtaReady(transport, 1, time));
    EXPECT_EQ(time.sleeps, std::vector<uint32_t>{2000});
}

TEST(WaitAtaReady, ErrorOrDeviceFaultIsFailure) {
    FakeTime time;
    StatusScript error;
    error.statuses = {0x51};
    EXPECT_FALSE(WaitAtaReady(error, 1, time));
    StatusScript fault;
    fault.statuses = {0x70};
    EXPECT_FALSE(WaitAtaReady(fault, 1, time));
}

// Regression: a failed status read gave status 0, which read as ready and
// error-free.
TEST(WaitAtaReady, UnansweredReadIsNotReady) {
    FakeTime time;
    StatusScript unplugged;
    unplugged.statuses = {-1};
    EXPECT_FALSE(WaitAtaReady(unplugged, 1, time));
    StatusScript removed;  // no card: CHECK CONDITION
    EXPECT_FALSE(WaitAtaReady(removed, 1, time));
}

TEST(WaitAtaReady, CardVanishingDuringALongBusyEndsTheWait) {
    StatusScript transport;
    transport.statuses = {0x80, 0x80, 0x80, 0x80};
    FakeTime time;
    EXPECT_FALSE(WaitAtaReady(transport, 1, time));
    EXPECT_EQ(transport.reads, 5);
    EXPECT_EQ(time.sleeps.size(), 4u);
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
    const CfSecurityReport report = ReadCfSecurityStatus(rig.transport, handle, identify, state, rig.time);
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
    const CfSecurityReport report = ReadCfSecurityStatus(rig.transport, handle, identify, state, rig.time);
    EXPECT_FALSE(report.identified);
    EXPECT_EQ(report.text, "");
    EXPECT_TRUE(identifyDataIsBlank(identify));
    EXPECT_TRUE(state.m_bCfSecurityEnabled);
}

TEST(ReadCfSecurityStatus, InvalidHandleSendsNothing) {
    SimRig rig;
    DataBlock identify{};
    CfState state;
    EXPECT_EQ(ReadCfSecurityStatus(rig.transport, kInvalidSlot, identify, state, rig.time).text,
              "Unable to open CF slot!!");
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

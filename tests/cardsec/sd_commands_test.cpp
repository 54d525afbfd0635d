#include "cardsec/sd_commands.h"

#include <gtest/gtest.h>

#include "cardsec/messages.h"
#include "support/card_fakes.h"

namespace salvora::cardsec {
namespace {

using test::RecordingTransport;
using test::SimRig;

TEST(SdCommandBlock, CarriesTheSdCommandInTheVendorBlock) {
    const Cdb expected13{0xF5, 0x13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    const Cdb expected42{0xF5, 0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(sdCommandBlock(kSdSendStatus), expected13);
    EXPECT_EQ(sdCommandBlock(kSdLockUnlock), expected42);
}

TEST(SdLockUnlockBlock, EachOperationHasItsFlagsLengthAndPassword) {
    DataBlock lock{};
    lock[0] = 0x05;
    lock[1] = 16;
    const std::string sixteen = "0123456789abcdef";
    std::copy(sixteen.begin(), sixteen.end(), lock.begin() + 2);
    EXPECT_EQ(sdLockUnlockBlock(SdOperation::kLock, sixteen), lock);

    DataBlock unlock{};
    unlock[1] = 3;
    unlock[2] = 'p';
    unlock[3] = 'w';
    unlock[4] = 'd';
    EXPECT_EQ(sdLockUnlockBlock(SdOperation::kUnlock, "pwd"), unlock);

    DataBlock remove = unlock;
    remove[0] = 0x02;
    EXPECT_EQ(sdLockUnlockBlock(SdOperation::kRemovePassword, "pwd"), remove);

    DataBlock erase{};
    erase[0] = 0x08;
    EXPECT_EQ(sdLockUnlockBlock(SdOperation::kForcedErase, "pwd"), erase);
}

DataBlock statusAnswer(bool locked, bool failed, uint8_t state) {
    DataBlock answer{};
    uint32_t status = static_cast<uint32_t>(state) << 9;
    if (locked)
        status |= 1u << 25;
    if (failed)
        status |= 1u << 24;
    for (int i = 0; i < 4; ++i)
        answer[1 + i] = static_cast<uint8_t>(status >> (24 - 8 * i));
    return answer;
}

TEST(DecodeSdStatus, ReadsLockedFailedAndStateBits) {
    const SdCardStatus status = decodeSdStatus(statusAnswer(true, true, 4));
    EXPECT_TRUE(status.cardIsLocked);
    EXPECT_TRUE(status.lockUnlockFailed);
    EXPECT_EQ(status.currentState, 4);
    EXPECT_EQ(decodeSdStatus(statusAnswer(false, false, 15)).currentState, 15);
    EXPECT_FALSE(decodeSdStatus(statusAnswer(false, false, 3)).cardIsLocked);
}

SdStatusReport decide(SdState& state, bool locked, bool failed, uint8_t cardState = 4) {
    return decideSdStatus(state, decodeSdStatus(statusAnswer(locked, failed, cardState)), true);
}

TEST(SdStatusDecision, ConfirmedLock) {
    SdState state;
    state.m_bSdLockRequested = true;
    const SdStatusReport report = decide(state, true, false);
    EXPECT_EQ(report.text, "Security: Enabled\n");
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0], successMessage("SD card is now locked."));
    EXPECT_TRUE(state.m_bSdLocked);
    EXPECT_FALSE(state.anyRequestPending());
}

TEST(SdStatusDecision, LockedAfterEraseIsAFailedErase) {
    SdState state;
    state.m_bSdEraseRequested = true;
    const SdStatusReport report = decide(state, true, false);
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0], failureMessage("Uuable to erase SD card!"));
}

TEST(SdStatusDecision, WrongUnlockPasswordLeavesTheCardLocked) {
    SdState state;
    state.m_bSdUnlockRequested = true;
    const SdStatusReport report = decide(state, true, true);
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0], failureMessage("Unable to unlock SD card!"));
    EXPECT_FALSE(state.m_bSdTempUnlocked);
    EXPECT_TRUE(report.locked);
}

TEST(SdStatusDecision, IgnoredLockFails) {
    SdState state;
    state.m_bSdLockRequested = true;
    const SdStatusReport report = decide(state, false, false);
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0], failureMessage("Unable to lock SD card!"));
    EXPECT_EQ(report.text, "Security: Disabled");
}

TEST(SdStatusDecision, ConfirmedUnlockRemovalAndErase) {
    SdState state;
    state.m_bSdUnlockRequested = true;
    SdStatusReport report = decide(state, false, false);
    EXPECT_EQ(report.messages.at(0).text, text::kSdUnlocked);
    EXPECT_TRUE(state.m_bSdTempUnlocked);
    EXPECT_EQ(report.text, "Security: Enabled\n");

    state.m_bSdRemoveRequested = true;
    report = decide(state, false, false);
    EXPECT_EQ(report.messages.at(0), successMessage("SD card password protection successfully removed."));
    EXPECT_FALSE(state.m_bSdTempUnlocked);
    EXPECT_EQ(report.text, "Security: Disabled");

    state.m_bSdTempUnlocked = true;
    state.m_bSdEraseRequested = true;
    report = decide(state, false, false);
    EXPECT_EQ(report.messages.at(0).text, text::kSdErased);
    EXPECT_FALSE(state.m_bSdTempUnlocked);
}

TEST(SdStatusDecision, FailedRemovalIsReported) {
    SdState state;
    state.m_bSdRemoveRequested = true;
    const SdStatusReport report = decide(state, true, true);
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0], failureMessage("Unable to remove SD password!!"));
}

TEST(SdStatusDecision, IdleStateReadsNidleEvenWhenLocked) {
    SdState state;
    const SdStatusReport report = decide(state, true, false, 0);
    EXPECT_EQ(report.text, "nidle");
    EXPECT_TRUE(state.m_bSdLocked);
}

TEST(SdStatusDecision, NoPendingRequestNoMessage) {
    SdState state;
    EXPECT_TRUE(decide(state, true, false).messages.empty());
    EXPECT_TRUE(decide(state, false, false).messages.empty());
}

// Regression: an all-zero answer from a failed read used to confirm a
// pending unlock, removal or erase.
TEST(SdStatusDecision, FailedReadNeverConfirmsARequest) {
    const struct {
        bool SdState::*request;
        const char* failure;
    } cases[] = {
        {&SdState::m_bSdUnlockRequested, "Unable to unlock SD card!"},
        {&SdState::m_bSdRemoveRequested, "Unable to remove SD password!!"},
        {&SdState::m_bSdEraseRequested, "Uuable to erase SD card!"},
        {&SdState::m_bSdLockRequested, "Unable to lock SD card!"},
    };
    for (const auto& c : cases) {
        SdState state;
        state.*c.request = true;
        const SdStatusReport report = decideSdStatus(state, SdCardStatus{}, false);
        ASSERT_EQ(report.messages.size(), 1u) << c.failure;
        EXPECT_EQ(report.messages[0], failureMessage(c.failure));
        EXPECT_EQ(report.text, "nidle");
        EXPECT_FALSE(state.m_bSdTempUnlocked);
        EXPECT_FALSE(state.anyRequestPending());
    }
}

TEST(SdStatusDecision, IdleAnswerDoesNotConfirmEither) {
    SdState state;
    state.m_bSdUnlockRequested = true;
    const SdStatusReport report = decide(state, false, false, 0);
    EXPECT_EQ(report.messages.at(0), failureMessage("Unable to unlock SD card!"));
}

// Regression: requests the card neither confirmed nor flagged as failed were
// dropped without a word.
TEST(SdStatusDecision, UnconfirmedRequestsAlwaysGetAFailureMessage) {
    SdState state;
    state.m_bSdUnlockRequested = true;  // still locked, no failure bit
    EXPECT_EQ(decide(state, true, false).messages.at(0), failureMessage("Unable to unlock SD card!"));
    state.m_bSdEraseRequested = true;  // not locked but the card flagged the command
    EXPECT_EQ(decide(state, false, true).messages.at(0), failureMessage("Uuable to erase SD card!"));
}

TEST(ReadSdStatus, InvalidHandleSendsNothing) {
    SimRig rig;
    RecordingTransport transport(rig.transport);
    SdState state;
    state.m_bSdLocked = true;
    const SdStatusReport report = ReadSdStatus(transport, kInvalidSlot, state);
    EXPECT_EQ(report.text, "Unable to open SD slot!!");
    EXPECT_TRUE(transport.sent.empty());
    EXPECT_TRUE(state.m_bSdLocked);
}

TEST(SendSdLockUnlock, MarksOnlyItsOwnRequest) {
    SimRig rig;
    rig.reader.insertSd(SimSdCard{});
    SdState state;
    state.m_bSdEraseRequested = state.m_bSdUnlockRequested = true;
    const SlotHandle handle = rig.transport.openDrive(kSimSdDrive);
    SendSdLockUnlock(rig.transport, handle, state, SdOperation::kLock, "pw");
    EXPECT_TRUE(state.m_bSdLockRequested);
    EXPECT_FALSE(state.m_bSdEraseRequested || state.m_bSdUnlockRequested || state.m_bSdRemoveRequested);
}

// Regression: a lock refused by a card that was locked already (by another
// program, with another password) read as "SD card is now locked.".
TEST(SdStatusDecision, LockFlaggedAsFailedIsNotConfirmedByALockedCard) {
    SdState state;
    state.m_bSdLockRequested = true;
    const SdStatusReport report = decide(state, true, true);
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0], failureMessage("Unable to lock SD card!"));
    EXPECT_TRUE(state.m_bSdLocked);
}

TEST(SdCommandCodes, AreTheReadersNumbersForCmd13AndCmd42) {
    EXPECT_EQ(kSdSendStatus, 0x13);
    EXPECT_EQ(kSdLockUnlock, 0x42);
}

// Regression: the answer of a card inserted in place of the one that got
// the command confirmed that command.
TEST(ReadSdStatus, AnswerAfterACardChangeConfirmsNothing) {
    SimRig rig;
    SimSdCard card;
    card.password = "pw";
    rig.reader.insertSd(card);
    rig.reader.sdSlot.mediumChanged = false;
    const SlotHandle handle = rig.transport.openDrive(kSimSdDrive);
    SdState state;
    SendSdLockUnlock(rig.transport, handle, state, SdOperation::kUnlock, "pw");
    rig.reader.insertSd(SimSdCard{});  // another card, no password, not locked
    const SdStatusReport report = ReadSdStatus(rig.transport, handle, state);
    EXPECT_TRUE(report.mediumChanged);
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0], failureMessage("Unable to unlock SD card!"));
    EXPECT_FALSE(state.m_bSdTempUnlocked);
    EXPECT_EQ(report.text, "Security: Disabled");
}

TEST(FailPendingRequests, ReportsEachPendingRequestOnce) {
    SdState state;
    state.m_bSdRemoveRequested = true;
    EXPECT_EQ(failPendingRequests(state),
              std::vector<ResultMessage>{failureMessage("Unable to remove SD password!!")});
    EXPECT_FALSE(state.anyRequestPending());
    EXPECT_TRUE(failPendingRequests(state).empty());
}

}  // namespace
}  // namespace salvora::cardsec

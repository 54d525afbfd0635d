#include "cardsec/cf_sequences.h"

#include <gtest/gtest.h>

#include "cardsec/messages.h"
#include "support/card_fakes.h"

namespace salvora::cardsec {
namespace {

using test::RecordingTransport;
using test::SimRig;

struct CfRig : SimRig {
    RecordingTransport recorder{transport};
    SlotHandle handle = kInvalidSlot;

    explicit CfRig(const std::string& password = "", bool locked = true) {
        SimCfCard card;
        card.eraseMs = 5000;
        if (!password.empty())
            card.setUserPassword(password);
        reader.insertCf(card);
        reader.cfSlot.mediumChanged = false;  // the slot has been looked at since
        if (!locked)
            reader.cf->locked = false;
        handle = transport.openDrive(kSimCfDrive);
    }
    // The request of `operation` for the card in the slot now.
    CfRequest request(CfOperation operation, const std::string& password) {
        DataBlock identify{};
        reader.cf->identify(identify.data());
        CfRequest made;
        made.operation = operation;
        made.password = password;
        made.securityEnabled = reader.cf->enabled;
        made.card = cfCardIdentity(identify);
        made.eraseTimeByte = reader.cf->eraseUnits;
        return made;
    }
    // The security commands sent, without the status reads.
    std::vector<int> commands() const {
        std::vector<int> result;
        for (int code : recorder.codes()) {
            if (code != kAtaReadStatus)
                result.push_back(code);
        }
        return result;
    }
};

TEST(CfSequences, SetPasswordThenPowerCycleLocks) {
    CfRig rig;
    const CfOperationResult result = runCfSetPassword(rig.recorder, rig.handle, "abc", rig.time);
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(result.message, successMessage(text::kCfPasswordSet));
    EXPECT_TRUE(rig.reader.cf->enabled);
    EXPECT_FALSE(rig.reader.cf->locked);
    rig.reader.powerCycle(SimSlot::kCf);
    EXPECT_TRUE(rig.reader.cf->locked);
}

TEST(CfSequences, UnlockWaitsAHundredMillisecondsBeforeTheWait) {
    CfRig rig("abc");
    const CfOperationResult result = runCfUnlock(rig.recorder, rig.handle, "abc", rig.time);
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(result.message.text, text::kCfUnlocked);
    EXPECT_EQ(rig.time.sleeps, std::vector<uint32_t>{100});
    EXPECT_EQ(rig.recorder.codes(), (std::vector<int>{kAtaSecurityUnlock, kAtaReadStatus}));
}

TEST(CfSequences, WrongUnlockPasswordFails) {
    CfRig rig("abc");
    const CfOperationResult result = runCfUnlock(rig.recorder, rig.handle, "abd", rig.time);
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.message, failureMessage("Unable to unlock CF card!"));
    EXPECT_TRUE(rig.reader.cf->locked);
}

TEST(CfSequences, RemovePasswordWhoseUnlockFailsSendsNoDisable) {
    CfRig rig("abc");
    std::vector<CfStage> stages;
    const CfOperationResult result = runCfRemovePassword(rig.recorder, rig.handle, "nope", true, rig.time,
                                                         [&](CfStage stage) { stages.push_back(stage); });
    EXPECT_EQ(result.message, failureMessage("Unable to remove CF password!"));
    EXPECT_EQ(rig.commands(), std::vector<int>{kAtaSecurityUnlock});
    EXPECT_TRUE(stages.empty());
}

TEST(CfSequences, RemovePasswordUnlocksThenDisables) {
    CfRig rig("abc");
    std::vector<CfStage> stages;
    const CfOperationResult result = runCfRemovePassword(rig.recorder, rig.handle, "abc", true, rig.time,
                                                         [&](CfStage stage) { stages.push_back(stage); });
    EXPECT_EQ(result.message, successMessage("CF card password protection successfully removed."));
    EXPECT_EQ(rig.commands(), (std::vector<int>{kAtaSecurityUnlock, kAtaSecurityDisablePassword}));
    EXPECT_EQ(stages, std::vector<CfStage>{CfStage::kDisablingPassword});
    EXPECT_FALSE(rig.reader.cf->enabled);
    // The password block of the disable step is the one of the unlock step.
    EXPECT_EQ(rig.recorder.sent.front().data, ataPasswordBlock("abc"));
}

TEST(CfSequences, EraseHoldsBusyForTheEraseTimeAndClearsEverything) {
    CfRig rig("abc");
    const CfOperationResult result = runCfErase(rig.recorder, rig.handle, "abc", true, 1, rig.time, nullptr);
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(result.message.text, text::kCfErased);
    EXPECT_EQ(rig.commands(), (std::vector<int>{kAtaSecurityErasePrepare, kAtaSecurityEraseUnit}));
    // 100 ms settle, three 2-second polls while busy (5 s), 100 ms after success.
    EXPECT_EQ(rig.time.sleeps, (std::vector<uint32_t>{100, 2000, 2000, 2000, 100}));
    EXPECT_FALSE(rig.reader.cf->enabled);
    EXPECT_EQ(rig.reader.cf->contents, "erased");
}

TEST(CfSequences, EraseWithAWrongPasswordFailsAtTheEraseUnitStep) {
    CfRig rig("abc");
    std::vector<CfStage> stages;
    const CfOperationResult result = runCfErase(rig.recorder, rig.handle, "xyz", true, 1, rig.time,
                                                [&](CfStage stage) { stages.push_back(stage); });
    EXPECT_EQ(result.message, failureMessage("Unable to erase CF card!"));
    EXPECT_EQ(stages, std::vector<CfStage>{CfStage::kErasing});
    EXPECT_EQ(rig.reader.cf->contents, "data");
}

TEST(CfSequences, FrozenCardRefusesPrepare) {
    CfRig rig;
    rig.reader.cf->frozen = true;
    const CfOperationResult result = runCfErase(rig.recorder, rig.handle, "abc", false, 1, rig.time, nullptr);
    EXPECT_EQ(result.message, failureMessage("Preparing erasing CF card failed!"));
    EXPECT_EQ(rig.commands(), std::vector<int>{kAtaSecurityErasePrepare});
}

TEST(CfSequences, CardRemovedDuringEraseEndsInFailure) {
    CfRig rig("abc");
    rig.time.onSleep = [&](uint32_t ms) {
        if (ms == 2000)
            rig.reader.remove(SimSlot::kCf);
    };
    const CfOperationResult result = runCfErase(rig.recorder, rig.handle, "abc", true, 1, rig.time, nullptr);
    EXPECT_EQ(result.message, failureMessage("Unable to erase CF card!"));
}

TEST(CfSequences, UnpluggedReaderFailsEveryStep) {
    CfRig rig("abc");
    rig.recorder.unreachable = true;
    EXPECT_FALSE(runCfSetPassword(rig.recorder, rig.handle, "abc", rig.time).succeeded);
    EXPECT_FALSE(runCfUnlock(rig.recorder, rig.handle, "abc", rig.time).succeeded);
    EXPECT_FALSE(runCfRemovePassword(rig.recorder, rig.handle, "abc", true, rig.time, nullptr).succeeded);
    EXPECT_FALSE(runCfErase(rig.recorder, rig.handle, "abc", true, 1, rig.time, nullptr).succeeded);
}

// Regression: a step counted as done when the command was delivered and the
// next status read was clean, even when the reader had answered the command
// itself with CHECK CONDITION (the status register still showed the previous
// command).
TEST(CfSequences, CommandTheReaderRefusesFailsTheStep) {
    CfRig rig;
    ASSERT_TRUE(rig.reader.setFault(SimSlot::kCf, SimFault::kRefuse));
    EXPECT_EQ(runCfSetPassword(rig.recorder, rig.handle, "abc", rig.time).message,
              failureMessage("Unable to set password!"));
    EXPECT_FALSE(rig.reader.cf->enabled);
    EXPECT_EQ(rig.reader.cf->securityCommands, 0);
    EXPECT_EQ(rig.reader.refused, 0);  // a refusal of the reader, not of a malformed block
}

TEST(CfOperation, SucceedsWhenTheSameCardShowsTheNewState) {
    CfRig rig("abc");
    const CfOperationResult result =
        runCfOperation(rig.recorder, rig.handle, rig.request(CfOperation::kUnlock, "abc"), rig.time, nullptr);
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(result.message, successMessage(text::kCfUnlocked));
    EXPECT_EQ(rig.recorder.codes(), (std::vector<int>{kAtaIdentifyDevice, kAtaReadStatus, kAtaSecurityUnlock,
                                                      kAtaReadStatus, kAtaIdentifyDevice, kAtaReadStatus}));
    EXPECT_EQ(rig.reader.refused, 0);
}

TEST(CfOperation, AnotherCardInTheSlotGetsNothing) {
    CfRig rig("abc");
    const CfRequest request = rig.request(CfOperation::kErase, "abc");
    SimCfCard other;
    other.setUserPassword("abc");
    rig.reader.insertCf(other);  // the same password, another card
    const CfOperationResult result = runCfOperation(rig.recorder, rig.handle, request, rig.time, nullptr);
    EXPECT_FALSE(result.succeeded);
    EXPECT_TRUE(result.cardChanged);
    EXPECT_EQ(result.message.text, text::kCfCardChanged);
    EXPECT_EQ(rig.reader.cf->securityCommands, 0);
    EXPECT_EQ(rig.reader.cf->contents, "data");
}

TEST(CfOperation, TheSameCardPutBackGetsNothingEither) {
    CfRig rig("abc");
    const CfRequest request = rig.request(CfOperation::kErase, "abc");
    rig.reader.powerCycle(SimSlot::kCf);
    const CfOperationResult result = runCfOperation(rig.recorder, rig.handle, request, rig.time, nullptr);
    EXPECT_TRUE(result.cardChanged);
    EXPECT_EQ(rig.reader.cf->securityCommands, 0);
}

// Regression: a card taken out and put back during the erase (or replaced)
// answered "ready" afterwards, and the erase was reported done although the
// card was still locked with its data.
TEST(CfOperation, CardPowerCycledDuringTheEraseIsAFailure) {
    CfRig rig("abc");
    rig.time.onSleep = [&](uint32_t ms) {
        if (ms == 2000 && rig.reader.cf->busy(rig.time.now))
            rig.reader.powerCycle(SimSlot::kCf);
    };
    const CfOperationResult result =
        runCfOperation(rig.recorder, rig.handle, rig.request(CfOperation::kErase, "abc"), rig.time, nullptr);
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.message, failureMessage("Unable to erase CF card!"));
    EXPECT_EQ(rig.reader.cf->contents, "partly erased");
    EXPECT_TRUE(rig.reader.cf->locked);
}

TEST(CfOperation, CardReplacedDuringTheEraseIsAFailure) {
    CfRig rig("abc");
    rig.time.onSleep = [&](uint32_t ms) {
        if (ms == 2000 && rig.reader.cf->busy(rig.time.now))
            rig.reader.insertCf(SimCfCard{});  // a card without password: "security disabled" on its own
    };
    const CfOperationResult result =
        runCfOperation(rig.recorder, rig.handle, rig.request(CfOperation::kErase, "abc"), rig.time, nullptr);
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.message, failureMessage("Unable to erase CF card!"));
}

TEST(CfOperation, CardThatStaysBusyDidNotAnswer) {
    CfRig rig("abc");
    const CfRequest request = rig.request(CfOperation::kUnlock, "abc");
    rig.time.onSleep = [&](uint32_t ms) {
        if (ms == 100)
            rig.reader.setFault(SimSlot::kCf, SimFault::kStuckBusy);
    };
    const CfOperationResult result = runCfOperation(rig.recorder, rig.handle, request, rig.time, nullptr);
    EXPECT_EQ(result.message, failureMessage("The card did not answer."));
    uint32_t slept = 0;
    for (uint32_t ms : rig.time.sleeps)
        slept += ms;
    EXPECT_EQ(slept, 100u + 6000u);
}

TEST(CfOperation, EveryOperationLeavesTheStateItNames) {
    CfRig setRig;
    EXPECT_TRUE(runCfOperation(setRig.recorder, setRig.handle,
                               setRig.request(CfOperation::kSetPassword, "pw"), setRig.time, nullptr)
                    .succeeded);
    EXPECT_TRUE(setRig.reader.cf->enabled);
    CfRig removeRig("pw");
    EXPECT_TRUE(runCfOperation(removeRig.recorder, removeRig.handle,
                               removeRig.request(CfOperation::kRemovePassword, "pw"), removeRig.time, nullptr)
                    .succeeded);
    EXPECT_FALSE(removeRig.reader.cf->enabled);
    CfRig eraseRig("pw");
    EXPECT_TRUE(runCfOperation(eraseRig.recorder, eraseRig.handle,
                               eraseRig.request(CfOperation::kErase, "pw"), eraseRig.time, nullptr)
                    .succeeded);
    EXPECT_EQ(eraseRig.reader.cf->contents, "erased");
    for (const CfRig* rig : {&setRig, &removeRig, &eraseRig})
        EXPECT_EQ(rig->reader.refused, 0);
}

}  // namespace
}  // namespace salvora::cardsec

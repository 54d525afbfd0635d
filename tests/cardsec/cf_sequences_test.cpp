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
        if (!locked)
            reader.cf->locked = false;
        handle = transport.openDrive(kSimCfDrive);
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
    const CfOperationResult result = runCfErase(rig.recorder, rig.handle, "abc", true, rig.time, nullptr);
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
    const CfOperationResult result = runCfErase(rig.recorder, rig.handle, "xyz", true, rig.time,
                                                [&](CfStage stage) { stages.push_back(stage); });
    EXPECT_EQ(result.message, failureMessage("Unable to erase CF card!"));
    EXPECT_EQ(stages, std::vector<CfStage>{CfStage::kErasing});
    EXPECT_EQ(rig.reader.cf->contents, "data");
}

TEST(CfSequences, FrozenCardRefusesPrepare) {
    CfRig rig;
    rig.reader.cf->frozen = true;
    const CfOperationResult result = runCfErase(rig.recorder, rig.handle, "abc", false, rig.time, nullptr);
    EXPECT_EQ(result.message, failureMessage("Preparing erasing CF card failed!"));
    EXPECT_EQ(rig.commands(), std::vector<int>{kAtaSecurityErasePrepare});
}

TEST(CfSequences, CardRemovedDuringEraseEndsInFailure) {
    CfRig rig("abc");
    rig.time.onSleep = [&](uint32_t ms) {
        if (ms == 2000)
            rig.reader.remove(SimSlot::kCf);
    };
    const CfOperationResult result = runCfErase(rig.recorder, rig.handle, "abc", true, rig.time, nullptr);
    EXPECT_EQ(result.message, failureMessage("Unable to erase CF card!"));
}

TEST(CfSequences, UnpluggedReaderFailsEveryStep) {
    CfRig rig("abc");
    rig.recorder.unreachable = true;
    EXPECT_FALSE(runCfSetPassword(rig.recorder, rig.handle, "abc", rig.time).succeeded);
    EXPECT_FALSE(runCfUnlock(rig.recorder, rig.handle, "abc", rig.time).succeeded);
    EXPECT_FALSE(runCfRemovePassword(rig.recorder, rig.handle, "abc", true, rig.time, nullptr).succeeded);
    EXPECT_FALSE(runCfErase(rig.recorder, rig.handle, "abc", true, rig.time, nullptr).succeeded);
}

}  // namespace
}  // namespace salvora::cardsec

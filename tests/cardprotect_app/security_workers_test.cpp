#include <gtest/gtest.h>

#include <algorithm>

#include "app_rig.h"
#include "cardprotect_app/core/app_texts.h"
#include "cardsec/cf_commands.h"
#include "cardsec/messages.h"
#include "cardsec/sd_commands.h"

namespace salvora::cardprotect {
namespace {

using cardsec::SimCfCard;
using cardsec::SimSdCard;
using test::AppRig;

// The events that follow the first occurrence of `from`.
std::vector<std::string> eventsFrom(const test::ScriptedUi& ui, const std::string& from) {
    std::vector<std::string> tail;
    bool found = false;
    for (const std::string& event : ui.events) {
        found = found || event == from;
        if (found)
            tail.push_back(event);
    }
    return tail;
}

struct SdRig : AppRig {
    explicit SdRig(const std::string& password = "") : AppRig(test::commandLineOptions()) {
        insertSd(password);
        start();
    }
};

struct CfRig : AppRig {
    explicit CfRig(const std::string& password = "") : AppRig(test::commandLineOptions()) {
        insertCf(password);
        start();
        model.poll();
    }
};

TEST(SdWorkflow, LockShowsProgressThenConfirmsAfterOneSecond) {
    SdRig rig;
    rig.ui.typeTwice("abc");
    rig.ui.answers = {true};
    const ActionReport report = runAction(rig.model, rig.ui, Action::kLock);
    EXPECT_EQ(report.result.outcome, Outcome::kSucceeded);
    EXPECT_EQ(eventsFrom(rig.ui, "info " + std::string(text::kSetModeSd)),
              (std::vector<std::string>{"info " + std::string(text::kSetModeSd), "password",
                                        "ask Confirmation", "info Locking SD card. Please wait...",
                                        "message Success! SD card is now locked.", "info Security: Enabled\n",
                                        "close panel"}));
    EXPECT_EQ(rig.sim.time.sleeps, std::vector<uint32_t>{1000});
    EXPECT_EQ(rig.view().statusDisplay, "LOCKED");
    EXPECT_EQ(rig.view().lockCaption, "Unlock");
    EXPECT_TRUE(rig.view().sdSelector.enabled);
    EXPECT_FALSE(rig.model.operationRunning());
}

TEST(SdWorkflow, WrongPasswordKeepsTheCardLockedRightOneUnlocksUntilRemoval) {
    SdRig rig("secret");
    rig.ui.type("wrong");
    ActionReport report = runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_EQ(report.result.outcome, Outcome::kFailed);
    EXPECT_EQ(report.result.messages.at(0), cardsec::failureMessage("Unable to unlock SD card!"));
    EXPECT_TRUE(rig.sim.reader.sd->locked);
    EXPECT_EQ(rig.view().statusDisplay, "LOCKED");

    rig.ui.type("secret");
    report = runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_EQ(report.result.outcome, Outcome::kSucceeded);
    EXPECT_EQ(report.result.messages.at(0).text, cardsec::text::kSdUnlocked);
    EXPECT_FALSE(rig.sim.reader.sd->locked);
    rig.sim.reader.powerCycle(cardsec::SimSlot::kSd);
    EXPECT_TRUE(rig.sim.reader.sd->locked);
}

// The window selects the card by itself and reads it then; the polls after an
// unlock must not read it afresh and forget that this program unlocked it.
TEST(SdWorkflow, UnlockRightAfterTheCardWasSelectedStaysShownUnlocked) {
    AppRig rig;
    rig.insertSd("secret");
    rig.start();
    ASSERT_EQ(rig.view().statusDisplay, "LOCKED");
    rig.ui.type("secret");
    const ActionReport report = runAction(rig.model, rig.ui, Action::kUnlock);
    ASSERT_EQ(report.result.outcome, Outcome::kSucceeded);
    for (int poll = 0; poll < 3; ++poll) {
        rig.model.poll();
        EXPECT_EQ(rig.view().statusDisplay, "UNLOCKED");
        EXPECT_EQ(rig.view().infoLine, "Security: Enabled\n");
        EXPECT_FALSE(rig.view().lock.enabled);
        EXPECT_TRUE(rig.view().remove.enabled);
    }
}

TEST(SdWorkflow, RemovePasswordAndForcedErase) {
    SdRig rig("secret");
    rig.ui.type("secret");
    EXPECT_EQ(runAction(rig.model, rig.ui, Action::kRemovePassword).result.messages.at(0).text,
              "SD card password protection successfully removed.");
    EXPECT_TRUE(rig.sim.reader.sd->password.empty());

    SdRig erase("secret");
    erase.ui.answers = {true};
    const ActionReport report = runAction(erase.model, erase.ui, Action::kErase);
    EXPECT_EQ(report.result.outcome, Outcome::kSucceeded);
    EXPECT_TRUE(erase.ui.sawInfo(text::kErasingSd));
    EXPECT_EQ(erase.sim.reader.sd->contents, "erased");
    EXPECT_EQ(erase.recorder.sent.at(erase.recorder.sent.size() - 2).data,
              cardsec::sdLockUnlockBlock(cardsec::SdOperation::kForcedErase, ""));
}

TEST(SdWorkflow, EraseAnsweredNoSendsNothingAndRescans) {
    SdRig rig("secret");
    const size_t before = rig.recorder.sent.size();
    const ActionReport report = runAction(rig.model, rig.ui, Action::kErase);
    EXPECT_EQ(report.result.outcome, Outcome::kCancelled);
    EXPECT_EQ(rig.ui.questions.at(0), text::kEraseConfirmation);
    EXPECT_EQ(rig.recorder.sent.size(), before);
    EXPECT_TRUE(rig.view().sdSelector.enabled);
    const size_t afterCancel = rig.recorder.codes().size();
    rig.model.poll();
    const std::vector<int> codes = rig.recorder.codes();
    EXPECT_NE(std::find(codes.begin() + afterCancel, codes.end(), cardsec::kSdSendStatus), codes.end());
}

// Regression: the card pulled out during the one-second wait read as a
// successful unlock.
TEST(SdWorkflow, CardRemovedDuringTheWaitIsAFailure) {
    SdRig rig("secret");
    rig.sim.time.onSleep = [&](uint32_t) { rig.sim.reader.remove(cardsec::SimSlot::kSd); };
    rig.ui.type("secret");
    const ActionReport report = runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_EQ(report.result.outcome, Outcome::kFailed);
    EXPECT_EQ(report.result.messages.at(0), cardsec::failureMessage("Unable to unlock SD card!"));
}

TEST(SdWorkflow, ReaderUnpluggedDuringEraseIsAFailure) {
    SdRig rig("secret");
    rig.ui.answers = {true};
    rig.sim.time.onSleep = [&](uint32_t) { rig.sim.reader.unplug(); };
    const ActionReport report = runAction(rig.model, rig.ui, Action::kErase);
    EXPECT_EQ(report.result.outcome, Outcome::kFailed);
    EXPECT_EQ(report.result.messages.at(0).text, "Uuable to erase SD card!");
}

TEST(SdWorkflow, ClosedSlotReportsAndSendsNothing) {
    AppRig rig(test::commandLineOptions());
    rig.insertCf();
    rig.start();
    rig.model.selectSd();
    const size_t before = rig.recorder.sent.size();
    const OperationResult result = rig.model.runWorker(WorkerKind::kLock, PasswordBuffer("pw"));
    EXPECT_EQ(result.outcome, Outcome::kSlotUnavailable);
    EXPECT_EQ(result.messages.at(0).text, "Unable to open SD slot!!");
    EXPECT_EQ(result.messages.at(0).caption, "Error!");
    EXPECT_EQ(result.messages.at(0).icon, cardsec::MessageIcon::kInformation);
    EXPECT_EQ(rig.recorder.sent.size(), before);
    EXPECT_FALSE(rig.model.operationRunning());
}

TEST(CfWorkflow, SetPasswordPowerCycleUnlockAndDisable) {
    CfRig rig;
    rig.ui.typeTwice("pw");
    rig.ui.answers = {true};
    ActionReport report = runAction(rig.model, rig.ui, Action::kLock);
    EXPECT_EQ(report.result.messages.at(0), cardsec::successMessage(cardsec::text::kCfPasswordSet));
    EXPECT_TRUE(rig.ui.sawInfo(text::kLockingCf));
    EXPECT_EQ(rig.view().infoLine, text::kLockingCf);  // until the next poll reads the card
    rig.model.poll();
    EXPECT_EQ(rig.view().statusDisplay, "UNLOCKED");

    rig.sim.reader.powerCycle(cardsec::SimSlot::kCf);
    rig.model.poll();  // the card was never seen leaving: the rescan flag is clear
    rig.sim.reader.remove(cardsec::SimSlot::kCf);
    rig.model.poll();
    rig.insertCf("pw");
    rig.model.poll();
    EXPECT_EQ(rig.view().statusDisplay, "LOCKED");

    rig.ui.type("pw");
    report = runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_EQ(report.result.messages.at(0).text, cardsec::text::kCfUnlocked);
    EXPECT_EQ(rig.sim.time.sleeps.back(), 100u);
    rig.model.poll();
    rig.ui.type("pw");
    report = runAction(rig.model, rig.ui, Action::kRemovePassword);
    EXPECT_EQ(report.result.outcome, Outcome::kSucceeded);
    EXPECT_TRUE(rig.ui.sawInfo(text::kRemovingCf));
    rig.model.poll();
    EXPECT_EQ(rig.view().infoLine, "Security: Disabled\n");
}

TEST(CfWorkflow, EraseWithAWrongPasswordFailsAtTheSecondStep) {
    CfRig rig("pw");
    rig.ui.type("nope");
    rig.ui.answers = {true};
    const ActionReport report = runAction(rig.model, rig.ui, Action::kErase);
    EXPECT_EQ(report.result.outcome, Outcome::kFailed);
    EXPECT_EQ(eventsFrom(rig.ui, "ask Confirmation"),
              (std::vector<std::string>{"ask Confirmation", "info Preparing erasing CF card. Please wait...",
                                        "info Erasing CF card,this may take a while. Please wait...",
                                        "message Failed! Unable to erase CF card!", "close panel"}));
}

TEST(CfWorkflow, EraseWaitsOutTheBusyCard) {
    CfRig rig("pw");
    rig.ui.type("pw");
    rig.ui.answers = {true};
    const ActionReport report = runAction(rig.model, rig.ui, Action::kErase);
    EXPECT_EQ(report.result.outcome, Outcome::kSucceeded);
    EXPECT_EQ(rig.sim.reader.cf->contents, "erased");
    EXPECT_EQ(rig.sim.time.sleeps, (std::vector<uint32_t>{100, 2000, 2000, 100}));
}

TEST(CfWorkflow, FiveWrongPasswordsExhaustTheAttempts) {
    CfRig rig("pw");
    for (int i = 0; i < 5; ++i) {
        rig.ui.type("bad");
        EXPECT_EQ(runAction(rig.model, rig.ui, Action::kUnlock).result.outcome, Outcome::kFailed);
        rig.model.poll();
    }
    EXPECT_NE(rig.view().infoLine.find(cardsec::text::kCfAttemptsExceeded), std::string::npos);
    EXPECT_FALSE(actionAvailable(rig.view(), Action::kUnlock));
    EXPECT_EQ(runAction(rig.model, rig.ui, Action::kUnlock).status, ActionStatus::kNotAvailable);
}

TEST(Panel, MismatchedEntriesAreAskedAgain) {
    SdRig rig;
    rig.ui.passwords.push_back(PasswordEntry{"abc", "abd"});
    rig.ui.typeTwice("abc");
    rig.ui.answers = {true};
    const ActionReport report = runAction(rig.model, rig.ui, Action::kLock);
    EXPECT_EQ(report.result.outcome, Outcome::kSucceeded);
    EXPECT_EQ(rig.ui.messages.at(0).text, text::kPasswordMismatch);
    EXPECT_EQ(rig.sim.reader.sd->password, "abc");
}

TEST(Panel, DeclinedConfirmationSendsNothing) {
    SdRig rig;
    const size_t before = rig.recorder.sent.size();
    rig.ui.typeTwice("abc");
    rig.ui.answers = {false};
    const ActionReport report = runAction(rig.model, rig.ui, Action::kLock);
    EXPECT_EQ(report.result.outcome, Outcome::kCancelled);
    EXPECT_EQ(rig.recorder.sent.size(), before);
    EXPECT_FALSE(rig.view().panelFrameVisible);
}

TEST(Panel, NoPasswordAbandonsTheAction) {
    SdRig rig("pw");
    const ActionReport report = runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_EQ(report.status, ActionStatus::kAbandoned);
    EXPECT_FALSE(rig.model.operationRunning());
    EXPECT_TRUE(rig.sim.reader.sd->locked);
}

using cardsec::SimFault;
using cardsec::SimSlot;

// Regression: the SD worker threw CMD42's own pass-through result away, so a
// command the reader refused was judged only by the next status read.
TEST(RefusedCommand, EverySdOperationFailsWithItsMessageAndLeavesTheCard) {
    const struct {
        Action action;
        const char* password;  // the card's
        const char* failure;
    } cases[] = {
        {Action::kLock, "", "Unable to lock SD card!"},
        {Action::kUnlock, "pw", "Unable to unlock SD card!"},
        {Action::kRemovePassword, "pw", "Unable to remove SD password!!"},
        {Action::kErase, "pw", "Uuable to erase SD card!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        SdRig rig(c.password);
        ASSERT_TRUE(rig.sim.reader.setFault(SimSlot::kSd, SimFault::kRefuse));
        rig.ui.typeTwice("pw");
        rig.ui.answers = {true};
        const ActionReport report = runAction(rig.model, rig.ui, c.action);
        EXPECT_EQ(report.result.outcome, Outcome::kFailed);
        EXPECT_EQ(report.result.messages,
                  std::vector<cardsec::ResultMessage>{cardsec::failureMessage(c.failure)});
        EXPECT_EQ(rig.sim.reader.sd->lockUnlockCommands, 0);
        EXPECT_EQ(rig.sim.reader.sd->password, c.password);
        EXPECT_EQ(rig.sim.reader.sd->contents, "data");
    }
}

// Regression: a CF step succeeded when its command was delivered and the
// next status read was clean, even when the reader had refused the command.
TEST(RefusedCommand, EveryCfOperationFailsWithItsMessageAndLeavesTheCard) {
    const struct {
        Action action;
        const char* password;
        const char* failure;
    } cases[] = {
        {Action::kLock, "", "Unable to set password!"},
        {Action::kUnlock, "pw", "Unable to unlock CF card!"},
        {Action::kRemovePassword, "pw", "Unable to remove CF password!"},
        {Action::kErase, "pw", "Preparing erasing CF card failed!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        CfRig rig(c.password);
        const uint16_t before = rig.sim.reader.cf->securityWord();
        ASSERT_TRUE(rig.sim.reader.setFault(SimSlot::kCf, SimFault::kRefuse));
        rig.ui.typeTwice("pw");
        rig.ui.answers = {true};
        const ActionReport report = runAction(rig.model, rig.ui, c.action);
        EXPECT_EQ(report.result.outcome, Outcome::kFailed);
        EXPECT_EQ(report.result.messages,
                  std::vector<cardsec::ResultMessage>{cardsec::failureMessage(c.failure)});
        EXPECT_EQ(rig.sim.reader.cf->securityWord(), before);
        EXPECT_EQ(rig.sim.reader.cf->contents, "data");
    }
}

SimSdCard sdCard(const std::string& password) {
    SimSdCard card;
    card.password = password;
    return card;
}

// Regression: the poll rests while the erase question is open, and "Yes"
// erased whatever card was in the slot by then.
TEST(CardChanged, SdCardSwappedWhileTheEraseQuestionIsOpenIsNotErased) {
    SdRig rig("secret");
    rig.ui.answers = {true};
    rig.ui.onAskYesNo = [&] { rig.sim.reader.insertSd(sdCard("other")); };
    const ActionReport report = runAction(rig.model, rig.ui, Action::kErase);
    EXPECT_EQ(report.result.outcome, Outcome::kCardChanged);
    EXPECT_EQ(report.result.messages.at(0), cardsec::failureMessage(cardsec::text::kSdCardChanged));
    EXPECT_EQ(rig.sim.reader.sd->lockUnlockCommands, 0);
    EXPECT_EQ(rig.sim.reader.sd->contents, "data");
    EXPECT_TRUE(rig.sim.reader.sd->locked);
}

TEST(CardChanged, SdCardTakenOutAndPutBackIsNotErasedEither) {
    SdRig rig("secret");
    rig.ui.answers = {true};
    rig.ui.onAskYesNo = [&] { rig.sim.reader.powerCycle(SimSlot::kSd); };
    EXPECT_EQ(runAction(rig.model, rig.ui, Action::kErase).result.outcome, Outcome::kCardChanged);
    EXPECT_EQ(rig.sim.reader.sd->lockUnlockCommands, 0);
}

// Regression: "SD card is now locked" with a different card, which then held
// the password typed for the first one.
TEST(CardChanged, SdCardSwappedWhileTheLockQuestionIsOpenGetsNothing) {
    SdRig rig;
    rig.ui.typeTwice("abc");
    rig.ui.answers = {true};
    rig.ui.onAskYesNo = [&] { rig.sim.reader.insertSd(SimSdCard{}); };
    const ActionReport report = runAction(rig.model, rig.ui, Action::kLock);
    EXPECT_EQ(report.result.outcome, Outcome::kCardChanged);
    EXPECT_EQ(rig.sim.reader.sd->lockUnlockCommands, 0);
    EXPECT_TRUE(rig.sim.reader.sd->password.empty());
    rig.model.poll();
    EXPECT_EQ(rig.view().infoLine,
              "Not locked now. If this card has a password, it applies again when the card is re-inserted.");
}

// The window's poll runs while the panel's question is open and sees the
// change first; the operation must still not go to the new card.
TEST(CardChanged, SwapSeenByThePollMeanwhileStillStopsTheOperation) {
    AppRig rig;
    rig.insertSd();
    rig.start();
    rig.sim.reader.remove(SimSlot::kSd);
    rig.model.poll();
    rig.insertSd();
    rig.model.poll();  // the card of this insertion is read: no password
    rig.model.lockPressed();
    rig.ui.answers = {true};
    rig.ui.onAskYesNo = [&] {
        rig.sim.reader.insertSd(SimSdCard{});
        rig.model.poll();
    };
    const PanelResult panel = acceptPassword(PanelSettings{true, CardType::kSd}, {"abc", "abc"}, rig.ui);
    ASSERT_EQ(panel.verdict, PanelVerdict::kAccepted);
    const OperationResult result = rig.model.runWorker(WorkerKind::kLock, panel.password);
    EXPECT_EQ(result.outcome, Outcome::kCardChanged);
    EXPECT_EQ(rig.sim.reader.sd->lockUnlockCommands, 0);
}

// Regression: a CF erase during which the card was taken out and put back
// reported "CF card successfully erased" for a card still locked with its data.
TEST(CardChanged, CfCardPowerCycledOrReplacedDuringTheEraseIsAFailure) {
    for (bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replaced" : "power-cycled");
        CfRig rig("pw");
        rig.sim.time.onSleep = [&](uint32_t ms) {
            if (ms != 2000 || !rig.sim.reader.cf->busy(rig.sim.time.now))
                return;
            if (replace) {
                rig.sim.reader.insertCf(SimCfCard{});
            } else {
                rig.sim.reader.powerCycle(SimSlot::kCf);
            }
        };
        rig.ui.type("pw");
        rig.ui.answers = {true};
        const ActionReport report = runAction(rig.model, rig.ui, Action::kErase);
        EXPECT_EQ(report.result.outcome, Outcome::kFailed);
        EXPECT_EQ(report.result.messages.back(), cardsec::failureMessage("Unable to erase CF card!"));
    }
}

TEST(CardChanged, CfCardReplacedWhileThePanelIsOpenGetsNothing) {
    CfRig rig("pw");
    rig.ui.type("pw");
    rig.ui.answers = {true};
    rig.ui.onAskYesNo = [&] {
        SimCfCard other;
        other.setUserPassword("pw");
        rig.sim.reader.insertCf(other);
    };
    const ActionReport report = runAction(rig.model, rig.ui, Action::kErase);
    EXPECT_EQ(report.result.outcome, Outcome::kCardChanged);
    EXPECT_EQ(report.result.messages.at(0).text, cardsec::text::kCfCardChanged);
    EXPECT_EQ(rig.sim.reader.cf->securityCommands, 0);
}

TEST(BoundedWait, CfCardThatStopsAnsweringEndsTheOperationWithAClearMessage) {
    CfRig rig("pw");
    rig.sim.time.onSleep = [&](uint32_t ms) {
        if (ms == 100)
            rig.sim.reader.setFault(SimSlot::kCf, SimFault::kStuckBusy);
    };
    rig.ui.type("pw");
    const ActionReport report = runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_EQ(report.result.outcome, Outcome::kFailed);
    EXPECT_EQ(report.result.messages.at(0), cardsec::failureMessage("The card did not answer."));
    EXPECT_FALSE(rig.model.operationRunning());
}

TEST(ReaderHeldElsewhere, WorkerSendsNothingAndSaysWhy) {
    SdRig rig("pw");
    rig.sim.store.heldElsewhere = true;
    const size_t before = rig.recorder.sent.size();
    rig.ui.type("pw");
    const ActionReport report = runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_EQ(report.result.outcome, Outcome::kReaderBusy);
    EXPECT_EQ(report.result.messages.at(0).text, text::kReaderBusy);
    EXPECT_EQ(rig.recorder.sent.size(), before);
    EXPECT_FALSE(rig.model.operationRunning());
    EXPECT_TRUE(rig.sim.reader.sd->locked);
}

TEST(ReaderHold, LastsForTheWholeOperationAndEndsWithIt) {
    SdRig rig("pw");
    bool heldDuringWork = false;
    rig.sim.time.onSleep = [&](uint32_t) { heldDuringWork = rig.sim.store.held(); };
    rig.ui.type("pw");
    runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_TRUE(heldDuringWork);
    EXPECT_FALSE(rig.sim.store.held());
}

}  // namespace
}  // namespace salvora::cardprotect

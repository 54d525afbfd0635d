#include "cardprotect_app/core/cardwarden_model.h"

#include <gtest/gtest.h>

#include "app_rig.h"
#include "cardprotect_app/core/app_texts.h"

namespace salvora::cardprotect {
namespace {

using test::AppRig;

struct Buttons {
    bool lock, remove, erase;
};

void expectButtons(const ViewState& view, Buttons expected, const std::string& caption,
                   const std::string& status) {
    EXPECT_EQ(view.lock.enabled, expected.lock);
    EXPECT_EQ(view.remove.enabled, expected.remove);
    EXPECT_EQ(view.erase.enabled, expected.erase);
    EXPECT_EQ(view.lockCaption, caption);
    EXPECT_EQ(view.statusDisplay, status);
}

TEST(StartUp, WithoutReaderAsksToConnectIt) {
    AppRig rig;
    rig.sim.reader.unplug();
    rig.start();
    EXPECT_FALSE(rig.model.readerFound());
    EXPECT_EQ(rig.view().infoLine, text::kConnectReader);
    EXPECT_EQ(rig.model.cardType(), CardType::kNone);
    expectButtons(rig.view(), {false, false, false}, "Lock", "");
}

TEST(StartUp, EmptyReaderAsksForACard) {
    AppRig rig;
    rig.start();
    EXPECT_TRUE(rig.model.readerFound());
    EXPECT_EQ(rig.view().infoLine, text::kInsertCard);
    EXPECT_FALSE(rig.view().sdSelector.enabled || rig.view().cfSelector.enabled);
}

TEST(StartUp, LockedSdCardIsSelectedAndShownLocked) {
    AppRig rig;
    rig.insertSd("pw");
    rig.start();
    EXPECT_EQ(rig.model.cardType(), CardType::kSd);
    expectButtons(rig.view(), {true, true, true}, "Unlock", "LOCKED");
    EXPECT_TRUE(rig.view().statusCaptionVisible);
    EXPECT_EQ(rig.view().sdLabel, "Disk (D:)");
    rig.model.poll();
    EXPECT_EQ(rig.view().lockTooltip, text::kTipSdUnlock);
    EXPECT_EQ(rig.view().eraseTooltip, text::kTipSdErase);
}

TEST(StartUp, UnlockedSdCardPresentAtStartMustBeReinserted) {
    AppRig rig;
    rig.insertSd();
    rig.start();
    EXPECT_EQ(rig.model.cardType(), CardType::kSd);
    EXPECT_EQ(rig.view().infoLine, text::kReinsertSd);
    expectButtons(rig.view(), {false, false, false}, "Lock", "");
    rig.sim.reader.remove(cardsec::SimSlot::kSd);
    rig.model.poll();
    EXPECT_EQ(rig.view().infoLine, text::kSdNotInserted);
    rig.insertSd();
    rig.model.poll();
    EXPECT_EQ(rig.view().infoLine, "Security: Disabled");
    expectButtons(rig.view(), {true, false, false}, "Lock", "");
}

// A command line starts afresh and cannot know whether an SD card that is
// not locked was unlocked with its password since it was inserted.
// Regression: it said "Security: Disabled" and offered only "lock".
TEST(StartUp, CommandLineSaysWhatItKnowsOfAnSdCardThatIsNotLocked) {
    AppRig rig(test::commandLineOptions());
    rig.insertSd();
    rig.start();
    EXPECT_EQ(rig.view().infoLine,
              "Not locked now. If this card has a password, it applies again when the card is re-inserted.");
    expectButtons(rig.view(), {true, true, false}, "Lock", "");
}

TEST(Poll, OnlyCfCardIsSelectedAutomaticallyAndReadOnTheNextPoll) {
    AppRig rig;
    rig.insertCf("pw");
    rig.start();
    EXPECT_EQ(rig.model.cardType(), CardType::kCf);
    EXPECT_EQ(rig.view().infoLine, text::kScanningCf);
    rig.model.poll();
    expectButtons(rig.view(), {true, true, true}, "Unlock", "LOCKED");
    EXPECT_EQ(rig.view().lockTooltip, text::kTipCfUnlock);
    EXPECT_EQ(rig.view().removeTooltip, text::kTipCfRemove);
}

TEST(Poll, BothCardsWaitForTheUsersChoice) {
    AppRig rig;
    rig.insertSd("pw");
    rig.insertCf();
    rig.start();
    EXPECT_EQ(rig.model.cardType(), CardType::kNone);
    EXPECT_EQ(rig.view().infoLine, text::kSelectCard);
    EXPECT_TRUE(rig.view().sdSelector.enabled && rig.view().cfSelector.enabled);
}

struct CfCase {
    const char* name;
    std::function<void(cardsec::SimCfCard&)> setUp;
    Buttons buttons;
    const char* caption;
    const char* status;
    int offset;
};

TEST(CardStates, CfButtonTable) {
    const CfCase cases[] = {
        {"locked",
         [](cardsec::SimCfCard& c) {
             c.setUserPassword("pw");
             c.powerUp();
         },
         {true, true, true},
         "Unlock",
         "LOCKED",
         0},
        {"unlocked",
         [](cardsec::SimCfCard& c) { c.setUserPassword("pw"); },
         {false, true, true},
         "Unlock",
         "UNLOCKED",
         0},
        {"disabled", [](cardsec::SimCfCard&) {}, {true, false, false}, "Lock", "", 0},
        {"frozen", [](cardsec::SimCfCard& c) { c.frozen = true; }, {false, false, false}, "Lock", "", 6},
        {"expired",
         [](cardsec::SimCfCard& c) {
             c.setUserPassword("pw");
             c.powerUp();
             c.attemptsLeft = 0;
         },
         {false, false, false},
         "Unlock",
         "LOCKED",
         12},
    };
    for (const CfCase& c : cases) {
        SCOPED_TRACE(c.name);
        AppRig rig;
        cardsec::SimCfCard card;
        rig.sim.reader.cf = card;
        c.setUp(*rig.sim.reader.cf);
        rig.start();
        rig.model.poll();
        expectButtons(rig.view(), c.buttons, c.caption, c.status);
        EXPECT_EQ(rig.view().statusOffset, c.offset);
    }
}

TEST(CardStates, FrozenCfCardShowsWhy) {
    AppRig rig;
    rig.insertCf("", true);
    rig.start();
    rig.model.poll();
    EXPECT_EQ(rig.view().infoLine, "This card is Frozen\nSecurity: Disabled\n");
    EXPECT_FALSE(actionAvailable(rig.view(), Action::kLock));
}

TEST(CardStates, SdUnlockedByThisProgram) {
    AppRig rig;
    rig.insertSd("pw");
    rig.start();
    rig.ui.type("pw");
    runAction(rig.model, rig.ui, Action::kUnlock);
    expectButtons(rig.view(), {false, true, false}, "Lock", "UNLOCKED");
    EXPECT_EQ(rig.view().infoLine, "Security: Enabled\n");
}

TEST(Selection, SelectingCfWaitsForThePollToRead) {
    AppRig rig;
    rig.insertSd("pw");
    rig.insertCf("pw");
    rig.start();
    rig.model.selectSd();
    rig.model.selectCf();
    EXPECT_EQ(rig.view().infoLine, text::kScanningCf);
    expectButtons(rig.view(), {false, false, false}, "Unlock", "");
    EXPECT_TRUE(rig.view().cfSelector.pressed);
    EXPECT_FALSE(rig.view().sdSelector.pressed);
}

TEST(Selection, NoCardTypeMeansLockCaption) {
    AppRig rig;
    rig.model.initialise();
    EXPECT_EQ(rig.view().lockCaption, "Lock");
}

TEST(Panel, LockButtonChoosesSetOrEntryMode) {
    AppRig rig;
    rig.insertSd("pw");
    rig.start();
    EXPECT_FALSE(rig.model.lockPressed().setMode);
    EXPECT_TRUE(rig.view().lock.pressed);
    EXPECT_TRUE(rig.view().panelFrameVisible);
    EXPECT_FALSE(rig.view().statusDisplayVisible);
    EXPECT_EQ(rig.view().infoLine, text::kEntrySdUnlock);
    const PanelSettings remove = rig.model.removePressed();
    EXPECT_TRUE(remove.remove);
    EXPECT_FALSE(remove.setMode);
    EXPECT_FALSE(rig.view().lock.pressed);
    EXPECT_EQ(rig.ui.panelsClosed, 1);  // a new press replaces the panel
}

TEST(Panel, CfErasePanelCarriesTheEraseTime) {
    AppRig rig;
    cardsec::SimCfCard card;
    card.setUserPassword("pw");
    card.eraseUnits = 45;
    rig.sim.reader.insertCf(card);
    rig.start();
    rig.model.poll();
    const PanelSettings settings = rig.model.erasePressed();
    EXPECT_TRUE(settings.usesPanel);
    EXPECT_EQ(settings.eraseTimeByte, 45);
    EXPECT_EQ(
        rig.view().infoLine,
        "All data on this CF card will be erased and security protection removed.\nErase Time:~ 90 Minutes");
}

TEST(Panel, RemovingTheCardClosesThePanelAndDisablesEverything) {
    AppRig rig;
    rig.insertSd("pw");
    rig.start();
    rig.model.lockPressed();
    rig.sim.reader.remove(cardsec::SimSlot::kSd);
    rig.model.poll();
    EXPECT_EQ(rig.ui.panelsClosed, 1);
    EXPECT_FALSE(rig.view().panelFrameVisible);
    EXPECT_EQ(rig.view().infoLine, text::kSdNotInserted);
    expectButtons(rig.view(), {false, false, false}, "Unlock", "");
    EXPECT_FALSE(rig.view().lock.pressed);
}

TEST(DeviceChange, ReaderUnpluggedReleasesTheSlots) {
    AppRig rig;
    rig.insertSd("pw");
    rig.start();
    rig.sim.reader.unplug();
    rig.model.deviceChanged();
    EXPECT_EQ(rig.view().infoLine, text::kConnectReader);
    EXPECT_EQ(rig.model.cardType(), CardType::kNone);
    EXPECT_EQ(rig.model.reader().m_hSdSlot, cardsec::kInvalidSlot);
    rig.sim.reader.plug();
    rig.model.deviceChanged();
    rig.model.poll();
    EXPECT_EQ(rig.model.cardType(), CardType::kSd);
    EXPECT_EQ(rig.view().statusDisplay, "LOCKED");
}

TEST(Close, RefusedWhileAnOperationRuns) {
    AppRig rig;
    rig.insertSd("pw");
    rig.start();
    bool closedDuringWork = true;
    rig.sim.time.onSleep = [&](uint32_t) { closedDuringWork = rig.model.requestClose(); };
    rig.ui.type("pw");
    runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_FALSE(closedDuringWork);
    EXPECT_EQ(rig.ui.messages.front().text, text::kOperationInProgress);
    EXPECT_EQ(rig.ui.messages.front().caption, "Warning");
    EXPECT_TRUE(rig.model.requestClose());
    EXPECT_EQ(rig.model.reader().m_hSdSlot, cardsec::kInvalidSlot);
}

TEST(Poll, DoesNothingWhileAnOperationRuns) {
    AppRig rig;
    rig.insertSd("pw");
    rig.start();
    size_t sentDuringWork = 0;
    rig.sim.time.onSleep = [&](uint32_t) {
        const size_t before = rig.recorder.sent.size();
        rig.model.poll();
        sentDuringWork = rig.recorder.sent.size() - before;
    };
    rig.ui.type("pw");
    runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_EQ(sentDuringWork, 0u);
}

uint32_t sleptSince(const test::FakeTime& time, size_t from) {
    uint32_t total = 0;
    for (size_t i = from; i < time.sleeps.size(); ++i)
        total += time.sleeps[i];
    return total;
}

// Regression: the ready wait had no limit and ran on the window thread, so a
// CF card that stayed busy froze the window.
TEST(Poll, CardThatStaysBusyBlocksNoPollForMoreThanTwoSeconds) {
    AppRig rig;
    rig.insertCf("pw");
    ASSERT_TRUE(rig.sim.reader.setFault(cardsec::SimSlot::kCf, cardsec::SimFault::kStuckBusy));
    const size_t before = rig.sim.time.sleeps.size();
    rig.model.initialise();
    EXPECT_LE(sleptSince(rig.sim.time, before), 2000u);
    for (int poll = 0; poll < 3; ++poll) {
        const size_t start = rig.sim.time.sleeps.size();
        rig.model.poll();
        EXPECT_LE(sleptSince(rig.sim.time, start), 2000u);
    }
    EXPECT_EQ(rig.model.cardType(), CardType::kCf);
    EXPECT_EQ(rig.view().infoLine, "The card did not answer.");
    expectButtons(rig.view(), {false, false, false}, "Lock", "");
}

// Regression: the rescan flag was cleared before IDENTIFY, so one failed
// read left every action disabled until the card was taken out.
TEST(Poll, FailedCfReadIsTriedAgainAtTheNextPoll) {
    AppRig rig;
    rig.insertCf("pw");
    ASSERT_TRUE(rig.sim.reader.setFault(cardsec::SimSlot::kCf, cardsec::SimFault::kStuckBusy));
    rig.start();
    rig.model.poll();
    EXPECT_EQ(rig.view().infoLine, "The card did not answer.");
    rig.sim.reader.setFault(cardsec::SimSlot::kCf, cardsec::SimFault::kClear);
    rig.model.poll();
    expectButtons(rig.view(), {true, true, true}, "Unlock", "LOCKED");
}

TEST(Poll, CardPutBackWhileAPanelIsOpenClosesItAndIsReadAgain) {
    AppRig rig;
    rig.insertSd("pw");
    rig.start();
    rig.model.lockPressed();
    rig.sim.reader.powerCycle(cardsec::SimSlot::kSd);
    rig.model.poll();
    EXPECT_EQ(rig.ui.panelsClosed, 1);
    EXPECT_FALSE(rig.view().panelFrameVisible);
    EXPECT_EQ(rig.view().statusDisplay, "LOCKED");
    EXPECT_EQ(rig.view().infoLine, "Security: Enabled\n");
}

TEST(ReaderHeldElsewhere, PollSaysSoSendsNothingAndReadsAgainAfterwards) {
    AppRig rig;
    rig.insertSd("pw");
    rig.start();
    rig.sim.store.heldElsewhere = true;
    const size_t before = rig.recorder.sent.size();
    rig.model.poll();
    EXPECT_EQ(rig.recorder.sent.size(), before);
    EXPECT_TRUE(rig.model.readerBusy());
    EXPECT_EQ(rig.view().infoLine, text::kReaderBusy);
    rig.sim.store.heldElsewhere = false;
    rig.model.poll();
    EXPECT_FALSE(rig.model.readerBusy());
    EXPECT_EQ(rig.view().infoLine, "Security: Enabled\n");  // the other program may have changed the card
    EXPECT_FALSE(rig.sim.store.held());                     // let go after each poll
}

}  // namespace
}  // namespace salvora::cardprotect

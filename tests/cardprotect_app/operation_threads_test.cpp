// The hand-over between the window thread and a worker thread: what the
// window may do while an operation runs, and what the worker may not do once
// it has handed its completion over.
#include <gtest/gtest.h>

#include "app_rig.h"
#include "cardprotect_app/core/app_texts.h"
#include "cardsec/messages.h"

namespace salvora::cardprotect {
namespace {

using test::AppRig;

struct LockedSd : AppRig {
    LockedSd() {
        insertSd("secret");
        start();
    }
};

// Regression: the worker refreshed the Lock caption and redrew the view after
// its completion had run on the window thread, where the poll (or the closing
// window) may already be at work.
TEST(HandOver, WorkerTouchesNothingAfterItsCompletion) {
    LockedSd rig;
    rig.ui.type("secret");
    const ActionReport report = runAction(rig.model, rig.ui, Action::kUnlock);
    EXPECT_EQ(report.result.outcome, Outcome::kSucceeded);
    EXPECT_TRUE(rig.ui.handedOver);
    EXPECT_EQ(rig.ui.callsAfterHandOver, 0);
    EXPECT_EQ(rig.view().lockCaption, text::kCaptionLock);  // refreshed within the completion
    EXPECT_FALSE(rig.model.operationRunning());
}

TEST(HandOver, CancelledEraseHandsOverOnceAndTouchesNothingAfter) {
    LockedSd rig;
    rig.ui.answers = {false};
    runAction(rig.model, rig.ui, Action::kErase);
    EXPECT_EQ(rig.ui.callsAfterHandOver, 0);
    EXPECT_TRUE(rig.view().sdSelector.enabled);
}

// Regression: between the start of the worker thread and its first step the
// poll could still send commands to the slot, and closing released the slot
// handles the worker was about to use.
TEST(StartingWorker, PollAndCloseWaitFromTheMomentTheWindowStartsIt) {
    LockedSd rig;
    rig.model.lockPressed();
    rig.model.operationStarting();
    const size_t before = rig.recorder.sent.size();
    rig.model.poll();
    EXPECT_EQ(rig.recorder.sent.size(), before);
    EXPECT_FALSE(rig.model.requestClose());
    EXPECT_EQ(rig.ui.messages.back().text, text::kOperationInProgress);
    EXPECT_NE(rig.model.reader().m_hSdSlot, cardsec::kInvalidSlot);

    const OperationResult result = rig.model.runWorker(WorkerKind::kLock, PasswordBuffer("secret"));
    EXPECT_EQ(result.outcome, Outcome::kSucceeded);
    EXPECT_TRUE(rig.model.requestClose());
}

// Regression: a device change during an operation ran a discovery pass at
// once; with both slots assigned that pass closes both slot handles, and the
// worker went on sending to a closed handle.
TEST(DeviceChangeDuringOperation, DiscoveryWaitsForTheEnd) {
    AppRig rig;
    rig.insertSd("secret");
    rig.insertCf();
    rig.start();
    rig.model.selectSd();
    cardsec::SlotHandle duringWork = cardsec::kInvalidSlot;
    rig.sim.time.onSleep = [&](uint32_t) {
        rig.model.deviceChanged();
        duringWork = rig.model.reader().m_hSdSlot;
    };
    rig.ui.type("secret");
    const ActionReport report = runAction(rig.model, rig.ui, Action::kUnlock);
    rig.sim.time.onSleep = nullptr;
    EXPECT_NE(duringWork, cardsec::kInvalidSlot);
    EXPECT_EQ(report.result.outcome, Outcome::kSucceeded);
    EXPECT_EQ(report.result.messages.at(0).text, cardsec::text::kSdUnlocked);
    // The pass ran when the operation ended: with both slots assigned it lets
    // them go, and the next poll finds them again.
    EXPECT_EQ(rig.view().infoLine, text::kConnectReader);
    rig.model.poll();
    EXPECT_NE(rig.model.reader().m_hSdSlot, cardsec::kInvalidSlot);
    EXPECT_TRUE(rig.view().sdSelector.enabled);
}

}  // namespace
}  // namespace salvora::cardprotect

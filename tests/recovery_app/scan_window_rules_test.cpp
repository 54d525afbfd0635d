// What the window decides around a recovery: the checks before it, the
// positions the bar is sent while it runs, and the message at its end.
#include <gtest/gtest.h>

#include <algorithm>

#include "formats/family_table.h"
#include "recovery_app/core/file_types.h"
#include "recovery_app/core/progress_estimate.h"
#include "recovery_app/core/progress_throttle.h"
#include "recovery_app/core/recover_checks.h"
#include "recovery_app/core/scan_outcome.h"
#include "recovery_app/core/scan_start.h"
#include "support/recovery_harness.h"

namespace salvora {
namespace {

std::vector<int> sentPositions(const std::vector<int>& percents) {
    ProgressThrottle throttle;
    throttle.start();
    std::vector<int> sent;
    for (const int percent : percents) {
        if (throttle.shouldSend(percent))
            sent.push_back(percent);
    }
    return sent;
}

TEST(ProgressThrottle, ARealScanSendsEachPositionOnceInOrderUpToTheEnd) {
    // TIFF pictures on 4 KiB clusters over 16 MiB, old data after each: a
    // picture is followed up to the next one and cut to the end its
    // directories give, so the scan reports after each of its thousands of
    // blocks and steps back over the old data after every saved picture; even
    // without repeats its percents are far more than 101.
    test::ImageBuilder image(16 << 20);
    const auto picture = test::readFile(test::dataPath("demo/tiff_strips_be.tif"));
    for (size_t offset = 4096; offset + 65 * 4096 < image.bytes().size(); offset += 65 * 4096) {
        image.noise(offset, offset + 64 * 4096, static_cast<uint32_t>(offset / 4096));
        image.place(offset, picture);
    }
    const test::Recovery recovery = test::recoverImage(image.bytes(), test::onlyFamilies({"tif"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    ASSERT_GT(recovery.percents.size(), 200u) << "the harness keeps a percent only when it changes";
    ASSERT_GT(recovery.savedCounter, 10u);

    const std::vector<int> sent = sentPositions(recovery.percents);
    EXPECT_LE(sent.size(), 101u);
    EXPECT_TRUE(std::is_sorted(sent.begin(), sent.end()));
    EXPECT_EQ(std::adjacent_find(sent.begin(), sent.end()), sent.end()) << "a position sent twice";
    EXPECT_EQ(sent.back(), *std::max_element(recovery.percents.begin(), recovery.percents.end()));
}

TEST(ProgressThrottle, StepsBackAreNotShownAndAFreshScanStartsAgain) {
    EXPECT_EQ(sentPositions({0, 0, 1, 1, 3, 2, 3, 4, 100, 100}), (std::vector<int>{0, 1, 3, 4, 100}));
    ProgressThrottle throttle;
    throttle.start();
    EXPECT_TRUE(throttle.shouldSend(100));
    EXPECT_FALSE(throttle.shouldSend(50));
    throttle.start();
    EXPECT_TRUE(throttle.shouldSend(0)) << "the next scan starts from nothing";
}

TEST(ScanOutcome, AFinishedScanReportsTheCount) {
    const auto outcome = scanOutcome(kScanFinished, 7, "");
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->text, "Recovery Complete - 7 Files Recovered.");
    EXPECT_FALSE(outcome->failed);
    EXPECT_EQ(scanOutcome(kScanFinished, 0, "stale text")->text, "Recovery Complete - 0 Files Recovered.");
}

TEST(ScanOutcome, AFailedScanGivesTheEngineReasonAndWhatWasSaved) {
    const auto outcome = scanOutcome(kScanReadFailed, 3, "Error in ReadFile.\nError Code:5");
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->failed);
    EXPECT_EQ(outcome->text.rfind("Error in ReadFile.\nError Code:5", 0), 0u);
    EXPECT_NE(outcome->text.find("3 files were recovered before the recovery stopped."), std::string::npos);
}

// Files a read failure cut short are kept and counted apart.
TEST(ScanOutcome, PartialFilesAreCountedApart) {
    const auto one = scanOutcome(kScanReadFailed, 3, "Error in ReadFile.", 1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->text,
              "Error in ReadFile.\n\n3 files were recovered before the recovery stopped.\n"
              "1 of them is partial: reading the medium failed inside it.");
    EXPECT_NE(scanOutcome(kScanReadFailed, 5, "x", 2)
                  ->text.find("2 of them are partial: reading the medium failed inside them."),
              std::string::npos);
    EXPECT_EQ(scanOutcome(kScanReadFailed, 5, "x", 0)->text.find("partial"), std::string::npos);
}

// After a recovery that reached the end, partial files are those found
// damaged (a photo piece not found, a movie written over), not cut by a read.
TEST(ScanOutcome, PartialFilesOfAFinishedRecoveryAreCalledDamaged) {
    EXPECT_EQ(damagedFilesText(0), "");
    EXPECT_EQ(damagedFilesText(1), "1 of them is partial: some of its data is missing or was overwritten.");
    EXPECT_EQ(damagedFilesText(3),
              "3 of them are partial: some of their data is missing or was overwritten.");
}

// The engine leaves no text for some failures; an empty error box would tell
// the user nothing.
TEST(ScanOutcome, AFailureWithoutAReasonStillSaysWhatHappened) {
    const auto outcome = scanOutcome(kScanCreateFailed, 0, "");
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->failed);
    EXPECT_EQ(outcome->text.rfind("The recovery stopped before the end of the partition.", 0), 0u);
}

TEST(ScanOutcome, AScanStoppedByClosingTheProgramReportsNothing) {
    EXPECT_FALSE(scanOutcome(kScanStopped, 4, ""));
}

TEST(RecoverChecks, ComeInTheirOrder) {
    EnabledFamilies none = standardFamilies();
    for (EnabledFamily& pair : none)
        pair.enabled = 0;
    const std::string destination = "C:\\Saved Files\\";

    auto check = checkBeforeRecovery(false, none, destination, "C:", "Card");
    EXPECT_EQ(check.refusal, RecoverRefusal::kNoPartition);
    EXPECT_EQ(check.text, "Please Select a Partition...");

    check = checkBeforeRecovery(true, none, destination, "C:", "Card");
    EXPECT_EQ(check.refusal, RecoverRefusal::kNoFileType);
    EXPECT_EQ(check.text, "Please select at least one file type.");

    check = checkBeforeRecovery(true, standardFamilies(), destination, "D:C:", "Card Reader");
    EXPECT_EQ(check.refusal, RecoverRefusal::kDestinationDisk);
    EXPECT_EQ(
        check.text,
        "Your Saved Path(C:\\Saved Files\\) is identical to the recovery disk(Card Reader),this will render "
        "your lost files unrecoverable.\nPlease select another saved location under 'Settings' menu.");

    check = checkBeforeRecovery(true, standardFamilies(), destination, "D:E:", "Card");
    EXPECT_EQ(check.refusal, RecoverRefusal::kNone);
    EXPECT_TRUE(check.text.empty());
}

TEST(RecoverChecks, ADestinationWhoseVolumeIsOnTheDiskIsRefusedWhateverItsDrive) {
    const auto check =
        checkBeforeRecovery(true, standardFamilies(), "C:\\Mounts\\Card\\Saved\\", "E:", "Card", true);
    EXPECT_EQ(check.refusal, RecoverRefusal::kDestinationDisk);
    EXPECT_EQ(check.text,
              "Your Saved Path(C:\\Mounts\\Card\\Saved\\) is identical to the recovery disk(Card),this will "
              "render your lost files unrecoverable.\nPlease select another saved location under 'Settings' "
              "menu.");
}

TEST(RecoverChecks, TheDriveIsComparedWithoutRegardToCase) {
    EXPECT_EQ(checkBeforeRecovery(true, standardFamilies(), "e:\\x\\", "D:E:", "Card").refusal,
              RecoverRefusal::kDestinationDisk);
    EXPECT_EQ(checkBeforeRecovery(true, standardFamilies(), "\\\\server\\share\\", "C:", "Card").refusal,
              RecoverRefusal::kNone);
}

// A window that records what it was asked to show.
class RecordingWindow : public RecoveryWindow {
  public:
    explicit RecordingWindow(bool workerStarts) : workerStarts_(workerStarts) {}
    std::vector<std::string> steps;
    void showRunning(bool running) override { steps.push_back(running ? "running" : "idle"); }
    bool startWorker(std::string& whyNot) override {
        steps.push_back("start");
        if (!workerStarts_)
            whyNot = "Not enough memory resources are available to process this command.";
        return workerStarts_;
    }
    void showError(const std::string& text) override { steps.push_back("error: " + text); }

  private:
    bool workerStarts_;
};

TEST(StartRecovery, AWorkerThatStartsLeavesTheWindowRunning) {
    RecordingWindow window(true);
    EXPECT_TRUE(startRecovery(window));
    EXPECT_EQ(window.steps, (std::vector<std::string>{"running", "start"}));
}

// The window would otherwise stay disabled with its clock running, and no
// worker would ever bring it back.
TEST(StartRecovery, AWorkerThatCannotStartReturnsTheWindowToIdleAndSaysWhy) {
    RecordingWindow window(false);
    EXPECT_FALSE(startRecovery(window));
    EXPECT_EQ(window.steps, (std::vector<std::string>{
                                "running", "start", "idle",
                                "error: The recovery could not be started: Not enough memory resources are "
                                "available to process this command."}));
}

}  // namespace
}  // namespace salvora

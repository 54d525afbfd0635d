// Shows a running recovery on standard error: one percentage over both
// passes of the scan, bytes scanned of the total, read rate, time left once it
// can be estimated, files recovered and elapsed time. One line redrawn in
// place on a terminal (at most ten times a second), or one line per ten
// percent when standard error is not a terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "carve/scan.h"
#include "recovery_app/core/progress_estimate.h"

namespace salvora::cli {

class ProgressLine : public ScanObserver {
  public:
    // `stops` counts the stop requests (Ctrl-C, termination); `quiet` prints
    // nothing but notes.
    ProgressLine(std::FILE* out, bool terminal, bool quiet, const std::atomic<int>& stops);

    void discoveryStarted(uint64_t firstOffset, uint64_t lastOffset) override;
    void discoveryProgress(uint64_t offset) override;
    void progressStarted(uint64_t firstOffset, uint64_t lastOffset) override;
    void progress(int percent, uint64_t offset) override;
    void fileSaved(uint32_t keptCount, const SavedFile& file) override;
    // A stop request made during the pass that runs. One made during the
    // discovery pass ends that pass; the files in the part it read are then
    // still recovered, until another request.
    bool stopRequested() override;

    // Prints a line of its own (for example a warning) without breaking the
    // redrawn progress line, even in quiet mode.
    void note(const std::string& text);

    // Ends the redrawn line so that later output starts on a line of its own;
    // `reachedEnd` shows the scan as complete.
    void finish(bool reachedEnd);
    uint32_t elapsedSeconds() const;

  private:
    void advanceTo(uint64_t offset);
    void draw();
    double secondsRunning() const;

    std::FILE* out_;
    bool terminal_;
    bool quiet_;
    const std::atomic<int>& stops_;
    int stopsBeforePass_ = 0;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDraw_{};
    int lastPercent_ = -1;
    int lastTenth_ = -1;
    uint32_t files_ = 0;
    uint64_t lastOffset_ = 0;
    ProgressEstimate estimate_;
    bool drawn_ = false;
};

}  // namespace salvora::cli

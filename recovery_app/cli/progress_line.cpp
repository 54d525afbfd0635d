#include "recovery_app/cli/progress_line.h"

#include "recovery_app/core/elapsed_time.h"

namespace salvora::cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}

ProgressLine::ProgressLine(std::FILE* out, bool terminal, bool quiet, const std::atomic<int>& stops)
    : out_(out),
      terminal_(terminal),
      quiet_(quiet),
      stops_(stops),
      started_(std::chrono::steady_clock::now()) {}

void ProgressLine::discoveryStarted(uint64_t firstOffset, uint64_t lastOffset) {
    estimate_.startDiscovery(firstOffset, lastOffset);
    lastOffset_ = lastOffset + 1;
    draw();
}

void ProgressLine::discoveryProgress(uint64_t offset) {
    advanceTo(offset);
}

void ProgressLine::progressStarted(uint64_t firstOffset, uint64_t lastOffset) {
    const int stops = stops_.load();
    if (stops > stopsBeforePass_ && estimate_.discovering()) {
        note(
            "salvora: stopping. The files in the part read so far are recovered now; press Ctrl-C again "
            "to stop at once.");
    }
    stopsBeforePass_ = stops;
    estimate_.start(firstOffset, lastOffset);
    lastOffset_ = lastOffset + 1;
    if (terminal_ || !drawn_)
        draw();
}

void ProgressLine::progress(int, uint64_t offset) {
    advanceTo(offset);
}

bool ProgressLine::stopRequested() {
    return stops_.load(std::memory_order_relaxed) > stopsBeforePass_;
}

void ProgressLine::advanceTo(uint64_t offset) {
    if (quiet_)
        return;
    if (terminal_) {
        const auto now = std::chrono::steady_clock::now();
        const bool complete = estimate_.percentAt(offset) == 100 && lastPercent_ != 100;
        if (now - lastDraw_ >= kRedrawInterval || complete) {
            estimate_.update(offset, secondsRunning());
            draw();
        }
        return;
    }
    if (estimate_.percentAt(offset) / 10 != lastTenth_) {
        estimate_.update(offset, secondsRunning());
        draw();
    }
}

void ProgressLine::fileSaved(uint32_t keptCount, const SavedFile&) {
    files_ = keptCount;
}

void ProgressLine::draw() {
    if (quiet_)
        return;
    lastDraw_ = std::chrono::steady_clock::now();
    lastPercent_ = estimate_.percent();
    lastTenth_ = lastPercent_ / 10;
    std::string line = std::to_string(lastPercent_) + "%  ";
    if (estimate_.discovering())
        line += "finding the block size  ";
    line += byteText(estimate_.scanned()) + " of " + byteText(estimate_.total());
    if (const double rate = estimate_.bytesPerSecond(); rate > 0) {
        line += "  " + byteText(static_cast<uint64_t>(rate)) + "/s";
    }
    if (const double left = estimate_.secondsLeft(); left >= 0) {
        line += "  about " + elapsedTimeText(static_cast<uint32_t>(left + 0.5)) + " left";
    }
    line += "  " + fileCountText(files_) + " recovered  elapsed " + elapsedTimeText(elapsedSeconds());
    if (terminal_) {
        std::fprintf(out_, "\r%s\033[K", line.c_str());
    } else {
        std::fprintf(out_, "%s\n", line.c_str());
    }
    std::fflush(out_);
    drawn_ = true;
}

void ProgressLine::note(const std::string& text) {
    if (terminal_ && drawn_ && !quiet_)
        std::fputs("\r\033[K", out_);
    std::fprintf(out_, "%s\n", text.c_str());
    if (terminal_ && drawn_ && !quiet_)
        draw();
    std::fflush(out_);
}

void ProgressLine::finish(bool reachedEnd) {
    if (quiet_ || !drawn_)
        return;
    if (reachedEnd) {
        estimate_.update(lastOffset_, secondsRunning());
        if (terminal_ || lastPercent_ != 100)
            draw();
    } else if (terminal_) {
        draw();
    }
    if (terminal_)
        std::fputc('\n', out_);
    std::fflush(out_);
}

double ProgressLine::secondsRunning() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

uint32_t ProgressLine::elapsedSeconds() const {
    const auto elapsed = std::chrono::steady_clock::now() - started_;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
}

}  // namespace salvora::cli

#include "recovery_app/cli/progress_line.h"

#include "recovery_app/core/elapsed_time.h"

namespace salvora::cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}

ProgressLine::ProgressLine(std::FILE* out, bool terminal, bool quiet, const std::atomic<bool>& stop)
    : out_(out),
      terminal_(terminal),
      quiet_(quiet),
      stop_(stop),
      started_(std::chrono::steady_clock::now()) {}

void ProgressLine::progressStarted(uint64_t firstOffset, uint64_t lastOffset) {
    estimate_.start(firstOffset, lastOffset);
    lastOffset_ = lastOffset + 1;
    draw(0);
}

void ProgressLine::progress(int percent, uint64_t offset) {
    if (quiet_)
        return;
    if (terminal_) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastDraw_ >= kRedrawInterval || (percent == 100 && lastPercent_ != 100)) {
            estimate_.update(offset, secondsRunning());
            draw(percent);
        }
        return;
    }
    if (percent / 10 != lastTenth_) {
        estimate_.update(offset, secondsRunning());
        draw(percent);
    }
}

void ProgressLine::fileSaved(uint32_t keptCount, const SavedFile&) {
    files_ = keptCount;
}

void ProgressLine::draw(int percent) {
    if (quiet_)
        return;
    lastDraw_ = std::chrono::steady_clock::now();
    lastPercent_ = percent;
    lastTenth_ = percent / 10;
    const std::string elapsed = elapsedTimeText(elapsedSeconds());
    std::string line = std::to_string(percent) + "%  " + byteText(estimate_.scanned()) + " of " +
                       byteText(estimate_.total());
    if (const double rate = estimate_.bytesPerSecond(); rate > 0) {
        line += "  " + byteText(static_cast<uint64_t>(rate)) + "/s";
    }
    if (const double left = estimate_.secondsLeft(); left >= 0) {
        line += "  about " + elapsedTimeText(static_cast<uint32_t>(left + 0.5)) + " left";
    }
    line += "  " + std::to_string(files_) + " files recovered  elapsed " + elapsed;
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
        draw(lastPercent_ < 0 ? 0 : lastPercent_);
    std::fflush(out_);
}

void ProgressLine::finish(bool reachedEnd) {
    if (quiet_ || !drawn_)
        return;
    if (reachedEnd) {
        estimate_.update(lastOffset_, secondsRunning());
        if (terminal_ || lastPercent_ != 100)
            draw(100);
    } else if (terminal_) {
        draw(lastPercent_ < 0 ? 0 : lastPercent_);
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

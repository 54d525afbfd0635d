#include "recovery_app/cli/progress_line.h"

#include "recovery_app/core/elapsed_time.h"

namespace salvora::cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}

ProgressLine::ProgressLine(std::FILE* out, bool terminal, bool quiet, const std::atomic<bool>& stop)
    : out_(out), terminal_(terminal), quiet_(quiet), stop_(stop), started_(std::chrono::steady_clock::now()) {}

void ProgressLine::progressStarted() { draw(0); }

void ProgressLine::progress(int percent, uint64_t) {
    if (quiet_) return;
    if (terminal_) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastDraw_ >= kRedrawInterval || (percent == 100 && lastPercent_ != 100)) draw(percent);
        return;
    }
    if (percent / 10 != lastTenth_) draw(percent);
}

void ProgressLine::fileSaved(uint32_t keptCount, const SavedFile&) { files_ = keptCount; }

void ProgressLine::draw(int percent) {
    if (quiet_) return;
    lastDraw_ = std::chrono::steady_clock::now();
    lastPercent_ = percent;
    lastTenth_ = percent / 10;
    const std::string elapsed = elapsedTimeText(elapsedSeconds());
    if (terminal_) {
        std::fprintf(out_, "\r%3d%%  %u files recovered  %s   ", percent, files_, elapsed.c_str());
    } else {
        std::fprintf(out_, "%3d%%  %u files recovered  %s\n", percent, files_, elapsed.c_str());
    }
    std::fflush(out_);
    drawn_ = true;
}

void ProgressLine::finish() {
    if (quiet_ || !drawn_) return;
    if (terminal_) {
        draw(lastPercent_ < 0 ? 0 : lastPercent_);
        std::fputc('\n', out_);
    }
    std::fflush(out_);
}

uint32_t ProgressLine::elapsedSeconds() const {
    const auto elapsed = std::chrono::steady_clock::now() - started_;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
}

}  // namespace salvora::cli

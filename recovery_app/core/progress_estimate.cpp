#include "recovery_app/core/progress_estimate.h"

#include <cstdio>

namespace salvora {

namespace {
constexpr double kRateWindowSeconds = 5.0;
constexpr double kFirstEstimateSeconds = 3.0;
}  // namespace

void ProgressEstimate::start(uint64_t first, uint64_t last) {
    first_ = first;
    total_ = last >= first ? last - first + 1 : 0;
    scanned_ = 0;
    seconds_ = 0;
    samples_.clear();
}

void ProgressEstimate::update(uint64_t offset, double seconds) {
    scanned_ = offset > first_ ? offset - first_ : 0;
    if (scanned_ > total_)
        scanned_ = total_;
    seconds_ = seconds;
    samples_.emplace_back(seconds, scanned_);
    while (samples_.size() > 2 && samples_.front().first < seconds - kRateWindowSeconds)
        samples_.pop_front();
}

double ProgressEstimate::bytesPerSecond() const {
    if (samples_.size() < 2)
        return 0;
    const auto& [firstSeconds, firstScanned] = samples_.front();
    const auto& [lastSeconds, lastScanned] = samples_.back();
    if (lastSeconds <= firstSeconds || lastScanned < firstScanned)
        return 0;
    return static_cast<double>(lastScanned - firstScanned) / (lastSeconds - firstSeconds);
}

double ProgressEstimate::secondsLeft() const {
    const double rate = bytesPerSecond();
    if (seconds_ < kFirstEstimateSeconds || rate <= 0 || total_ == 0)
        return -1;
    return static_cast<double>(total_ - scanned_) / rate;
}

std::string byteText(uint64_t bytes) {
    char text[32];
    const double value = static_cast<double>(bytes);
    if (bytes >= (1ull << 30)) {
        std::snprintf(text, sizeof text, "%.2f GB", value / (1ull << 30));
    } else if (bytes >= (1ull << 20)) {
        std::snprintf(text, sizeof text, "%.1f MB", value / (1ull << 20));
    } else if (bytes >= 1024) {
        std::snprintf(text, sizeof text, "%.1f KB", value / 1024);
    } else {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    }
    return text;
}

}  // namespace salvora

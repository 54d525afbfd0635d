#include "recovery_app/core/progress_estimate.h"

#include <algorithm>
#include <cstdio>

namespace salvora {

namespace {
constexpr double kRateWindowSeconds = 5.0;
constexpr double kFirstEstimateSeconds = 3.0;
}  // namespace

void ProgressEstimate::startPass(uint64_t first, uint64_t last) {
    first_ = first;
    total_ = last >= first ? last - first + 1 : 0;
    scanned_ = 0;
}

void ProgressEstimate::startDiscovery(uint64_t first, uint64_t last) {
    startPass(first, last);
    discovering_ = true;
    workBefore_ = 0;
    workTotal_ = 2 * total_;  // at worst it reads everything, and then the carving pass does
}

void ProgressEstimate::start(uint64_t first, uint64_t last) {
    workBefore_ = discovering_ ? scanned_ : 0;
    discovering_ = false;
    startPass(first, last);
    workTotal_ = workBefore_ + total_;
}

int ProgressEstimate::percentAt(uint64_t offset) const {
    const uint64_t scanned = std::min(offset > first_ ? offset - first_ : 0, total_);
    if (workTotal_ == 0)
        return percent_;
    const double done = static_cast<double>(workBefore_ + scanned);
    const int now = static_cast<int>(done * 100.0 / static_cast<double>(workTotal_));
    return std::max(percent_, std::min(now, 100));
}

void ProgressEstimate::update(uint64_t offset, double seconds) {
    percent_ = percentAt(offset);
    scanned_ = std::min(offset > first_ ? offset - first_ : 0, total_);
    seconds_ = seconds;
    samples_.emplace_back(seconds, workBefore_ + scanned_);
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
    // While the discovery pass runs, how much is left is not known yet.
    if (seconds_ < kFirstEstimateSeconds || rate <= 0 || total_ == 0 || discovering_)
        return -1;
    return static_cast<double>(workTotal_ - (workBefore_ + scanned_)) / rate;
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

std::string fileCountText(uint64_t files) {
    return std::to_string(files) + (files == 1 ? " file" : " files");
}

std::string recoveredBeforeStop(uint64_t files) {
    return fileCountText(files) + (files == 1 ? " was" : " were") + " recovered before the recovery stopped.";
}

std::string partialFilesText(uint64_t partial) {
    if (partial == 0)
        return "";
    if (partial == 1)
        return "1 of them is partial: reading the medium failed inside it.";
    return std::to_string(partial) + " of them are partial: reading the medium failed inside them.";
}

std::string damagedFilesText(uint64_t partial) {
    if (partial == 0)
        return "";
    if (partial == 1)
        return "1 of them is partial: some of its data is missing or was overwritten.";
    return std::to_string(partial) +
           " of them are partial: some of their data is missing or was overwritten.";
}

}  // namespace salvora

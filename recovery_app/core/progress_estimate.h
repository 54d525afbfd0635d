// How far a recovery is and how long it may still take, from the medium
// offsets the scan reports.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>

namespace salvora {

class ProgressEstimate {
  public:
    // The scan examines the bytes from `first` to `last` (inclusive).
    void start(uint64_t first, uint64_t last);
    // The scan reached `offset` after `seconds` of running.
    void update(uint64_t offset, double seconds);

    uint64_t scanned() const { return scanned_; }
    uint64_t total() const { return total_; }
    // Read rate over the last few seconds, in bytes per second (0 until known).
    double bytesPerSecond() const;
    // Seconds still needed at the current rate; negative while no honest
    // estimate can be given (too early, or no progress yet).
    double secondsLeft() const;

  private:
    uint64_t first_ = 0;
    uint64_t total_ = 0;
    uint64_t scanned_ = 0;
    double seconds_ = 0;
    std::deque<std::pair<double, uint64_t>> samples_;  // (seconds, scanned), the last few seconds
};

// "1.21 GB", "85.3 MB", "512 bytes": a byte count for people.
std::string byteText(uint64_t bytes);

}  // namespace salvora

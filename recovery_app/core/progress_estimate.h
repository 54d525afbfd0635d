// How far a recovery is and how long it may still take, from the medium
// offsets the scan reports in its two passes. The discovery pass reads from
// the start until it has found enough file starts (at worst the whole
// medium); the carving pass then reads everything. Both count as work done:
// one percentage runs over both and never goes back.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>

namespace salvora {

class ProgressEstimate {
  public:
    // The discovery pass examines the bytes from `first` to `last` (inclusive) or fewer.
    void startDiscovery(uint64_t first, uint64_t last);
    // The carving pass examines the bytes from `first` to `last` (inclusive);
    // what a discovery pass read before counts as done.
    void start(uint64_t first, uint64_t last);
    // The pass reached `offset` after `seconds` of running.
    void update(uint64_t offset, double seconds);

    // True while the discovery pass runs.
    bool discovering() const { return discovering_; }
    // Bytes of the current pass examined, of its total.
    uint64_t scanned() const { return scanned_; }
    uint64_t total() const { return total_; }
    // Percent of the work of both passes, from 0 to 100; it never goes back.
    int percent() const { return percent_; }
    // The percent an update to `offset` would give (nothing is recorded).
    int percentAt(uint64_t offset) const;
    // Read rate over the last few seconds, in bytes per second (0 until known).
    double bytesPerSecond() const;
    // Seconds still needed at the current rate; negative while no honest
    // estimate can be given (too early, or no progress yet).
    double secondsLeft() const;

  private:
    void startPass(uint64_t first, uint64_t last);

    uint64_t first_ = 0;
    uint64_t total_ = 0;
    uint64_t scanned_ = 0;
    bool discovering_ = false;
    uint64_t workBefore_ = 0;  // work of passes before this one
    uint64_t workTotal_ = 0;   // work of both passes, as far as it is known
    int percent_ = 0;
    double seconds_ = 0;
    std::deque<std::pair<double, uint64_t>> samples_;  // (seconds, work done), the last few seconds
};

// "1.21 GB", "85.3 MB", "512 bytes": a byte count for people.
std::string byteText(uint64_t bytes);

// "1 file", "0 files", "12 files".
std::string fileCountText(uint64_t files);

// "1 file was recovered before the recovery stopped.", "3 files were ...".
std::string recoveredBeforeStop(uint64_t files);

// How many of the recovered files a read failure cut short: "" for none,
// "1 of them is partial: reading the medium failed inside it.", "2 of them
// are partial: reading the medium failed inside them."
std::string partialFilesText(uint64_t partial);

// How many of the files of a recovery that reached the end are partial (a
// piece of a photo not found, a movie that other files were written over):
// "" for none, "1 of them is partial: some of its data is missing or was
// overwritten.", "2 of them are partial: some of their data is missing or
// was overwritten."
std::string damagedFilesText(uint64_t partial);

}  // namespace salvora

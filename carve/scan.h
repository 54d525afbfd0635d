// The scan driver: recovers files from one partition (or a whole medium) into
// one destination folder.
#pragma once

#include <cstdint>
#include <string>

#include "carve/family.h"
#include "carve/recovered_output.h"
#include "carve/search_space.h"

namespace salvora {

class MediaReader;

// Results of runScan.
enum ScanResult : int32_t {
    kScanFinished = 0,      // the search space was walked to its end
    kScanReadFailed = 1,    // a refill returned no data (lastErrorText tells why)
    kScanCreateFailed = 2,  // an output file could not be created
    kScanWriteFailed = 3,   // writing an output file failed
    kScanStopped = 4,       // the observer asked the scan to stop
};

// How the scan reports while it runs. Every call blocks the scan until it
// returns. All calls come from the scanning thread.
class ScanObserver {
  public:
    virtual ~ScanObserver() = default;
    // Once, when the carving pass starts: positions will run from 0 to 100 as
    // the scan moves from the first byte to the last byte it will examine.
    virtual void progressStarted(uint64_t firstOffset, uint64_t lastOffset) {
        (void)firstOffset;
        (void)lastOffset;
    }
    // After every block step: percent of the scanned extent, and the medium
    // offset of the block just examined.
    virtual void progress(int percent, uint64_t offset) {
        (void)percent;
        (void)offset;
    }
    // After a file was saved; keptCount is the number saved so far in this pass.
    virtual void fileSaved(uint32_t keptCount, const SavedFile& file) {
        (void)keptCount;
        (void)file;
    }
    // Polled once per block; true ends the scan with kScanStopped. The file
    // in progress is then deleted, files saved before stay.
    virtual bool stopRequested() { return false; }
};

// Size of one refill of the scan buffer.
constexpr uint32_t kRefillSize = 524288;

// Recovers files from the search space of `medium` into `destinationFolder`
// (which must exist and end with a path separator). Builds the signature
// index from `families`, finds the block size from the first recognised file
// starts, aligns the search space to that grid and carves it. `savedCounter`
// is incremented once per saved file. The search space is empty afterwards.
// Returns a ScanResult; on 1, 2 and 3 lastErrorText holds the reason.
int32_t runScan(MediaReader& medium, const std::string& destinationFolder, const EnabledFamilies& families,
                SearchSpace& searchSpace, uint32_t blockSize, ScanObserver& observer, uint32_t& savedCounter);

}  // namespace salvora

// The scan driver: recovers files from one partition (or a whole medium) into
// one destination folder.
#pragma once

#include <cstdint>
#include <string>

#include "carve/family.h"
#include "carve/file_map.h"
#include "carve/fragment_join.h"
#include "carve/recovered_output.h"
#include "carve/search_space.h"
#include "carve/status.h"

namespace salvora {

class MediaReader;

// How the scan reports while it runs. Every call blocks the scan until it
// returns. All calls come from the scanning thread.
class ScanObserver {
  public:
    virtual ~ScanObserver() = default;
    // Once, when the discovery pass (which finds the block size from the
    // first file starts) begins to read the bytes from `firstOffset` to
    // `lastOffset`. It ends early once it found enough starts.
    virtual void discoveryStarted(uint64_t firstOffset, uint64_t lastOffset) {
        (void)firstOffset;
        (void)lastOffset;
    }
    // During the discovery pass, after each read: the medium offset reached.
    virtual void discoveryProgress(uint64_t offset) { (void)offset; }
    // Once, when the carving pass starts: positions will run from 0 to 100 as
    // the scan moves from the first byte to the last byte it will examine.
    virtual void progressStarted(uint64_t firstOffset, uint64_t lastOffset) {
        (void)firstOffset;
        (void)lastOffset;
    }
    // After every block step of the carving pass: percent of the scanned
    // extent, and the medium offset of the block just examined.
    virtual void progress(int percent, uint64_t offset) {
        (void)percent;
        (void)offset;
    }
    // After a file was saved; keptCount is the number saved so far in this pass.
    virtual void fileSaved(uint32_t keptCount, const SavedFile& file) {
        (void)keptCount;
        (void)file;
    }
    // Polled once per block; true ends the pass with kScanStopped. A stopped
    // carving pass deletes the file in progress; files saved before stay. A
    // stopped discovery pass is followed by the carving pass over what it
    // read, which polls again from its start.
    virtual bool stopRequested() { return false; }
};

// Size of one refill of the scan buffer.
constexpr uint32_t kRefillSize = 524288;

// Recovers files from the search space of `medium` into `destinationFolder`
// (which must exist and end with a path separator). Builds the signature
// index from `families`, finds the block size from the first recognised file
// starts, aligns the search space to that grid and carves it. Files are
// numbered from one past the highest "KVnnnnn" name already in the folder.
// `savedCounter` is incremented once per saved file. The search space is
// empty afterwards.
//
// When the discovery pass cannot read on (or is stopped), the part it read
// is still carved, with the block size found so far (the sector size when
// it found no file start); the result then still reports the read failure
// (or the stop). Returns a ScanResult; on 1, 2 and 3 lastErrorText holds the
// reason, and nothing else of the scan changes it.
int32_t runScan(MediaReader& medium, const std::string& destinationFolder, const EnabledFamilies& families,
                SearchSpace& searchSpace, uint32_t blockSize, ScanObserver& observer, uint32_t& savedCounter);

// What the scan may know beyond the bytes themselves. Everything is optional.
struct ScanAids {
    // Files a file system still records. A file start found at the first
    // byte of a mapped file is carved along its runs (a deleted entry's
    // placement only when the joiner, where it judges the family, finds it
    // sound), and its runs leave the search space. A deleted entry's file
    // that its family ends before the entry's size is kept as partial. The bytes of listed files
    // after their first block are taken out of the search space before the
    // scan, so that no carved file runs through them.
    const FileMap* fileMap = nullptr;
    // Judges carved files of the families it knows; a file whose data breaks
    // is joined with a validated continuation, or kept as partial.
    const FragmentJoiner* joiner = nullptr;
    // Files carved along a mapped file are named "KVnnnnn_" + its name.
    bool namesFromMap = false;
};

// runScan with what the scan may know beyond the bytes.
int32_t runScan(MediaReader& medium, const std::string& destinationFolder, const EnabledFamilies& families,
                SearchSpace& searchSpace, const ScanAids& aids, ScanObserver& observer,
                uint32_t& savedCounter);

}  // namespace salvora

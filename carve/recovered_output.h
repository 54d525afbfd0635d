// Recovered files: closing a file when it ends (end check, minimum size,
// keeping it under its final name and length, or dropping it) and taking its
// blocks out of the search space.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "carve/family.h"
#include "carve/search_space.h"
#include "carve/status.h"

namespace salvora {

class MediaReader;

// A stretch of the medium that holds consecutive bytes of a saved file.
struct ByteRun {
    uint64_t offset = 0;  // medium offset of the first byte
    uint64_t length = 0;
};

// What the output stage tells about a file it kept.
struct SavedFile {
    std::string path;
    const FileFamily* family = nullptr;
    std::string extension;     // final extension, as in the name
    uint64_t startOffset = 0;  // medium offset of the file's first byte
    uint64_t size = 0;
    // Where the file's bytes lie on the medium, in the order of the file; one
    // run {startOffset, size} for a file carved in one piece.
    std::vector<ByteRun> runs;
    // True for a file kept although it is cut short (what could be recovered of it).
    bool partial = false;
    // True for a file put together from more than one piece of the medium.
    bool joined = false;
    // The name a file system gave the file (UTF-8, without folders); empty when none is known.
    std::string sourceName;
};

// Ends the file in progress. Runs its end check, clamps the size to the
// medium, drops files below minSize, clamps the size to what was written,
// and keeps the file under its final extension and length (afterSave,
// savedCounter + 1, `saved` filled) or drops it. When the destination takes
// only part of the file (EFBIG), the file is judged again on what reached the
// disk. Returns the range at which the scan may go on (possibly
// space.head()) when the file was kept, nothing otherwise. A file that cannot
// be written (other than EFBIG) is dropped and `status` receives the write
// failure. The caller resets the record.
std::optional<RangeRef> closeCandidate(CarveCandidate& file, uint32_t& savedCounter, uint32_t blockSize,
                                       SearchSpace& space, const MediaReader& medium,
                                       SavedFile* saved = nullptr, Status* status = nullptr);

// Keeps a file that a read failure of the medium interrupted: the bytes
// written so far (no more than reach the end of the medium) stay as they
// are, without its end check, and `saved` marks it partial. Its blocks are
// taken out of the search space. Returns as closeCandidate does; a file of
// which nothing was written is dropped. The caller resets the record.
std::optional<RangeRef> keepPartial(CarveCandidate& file, uint32_t& savedCounter, uint32_t blockSize,
                                    SearchSpace& space, const MediaReader& medium, SavedFile* saved = nullptr,
                                    Status* status = nullptr);

// Keeps or drops a file the way closeCandidate does, without touching the
// search space, but bounded by `reach` (the count of bytes there were to
// take for it) in place of the end of the medium: it keeps at most that
// many after its end check. True when it was kept (`saved` then filled).
bool keepCandidate(CarveCandidate& file, uint32_t& savedCounter, uint64_t reach, SavedFile* saved = nullptr,
                   Status* status = nullptr);

// Drops the output of a file that was never finished (the scan stopped
// inside it): it is deleted when it reached the disk. Nothing happens when it
// has no output.
void abandonCandidate(CarveCandidate& file);

}  // namespace salvora

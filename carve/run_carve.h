// Carving a file along byte runs that something other than the carve loop
// found (a file system's record, a validated join): its blocks are taken
// from the runs in order and go through the family's own block and end
// checks, as in the contiguous carve, bounded by the runs' total length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "carve/family.h"
#include "carve/output_folder.h"
#include "carve/recovered_output.h"
#include "carve/status.h"

namespace salvora {

class MediaReader;

// Carves `file` (a recognised candidate without output, its startOffset at
// the first byte of `runs`) along `runs` into `folder` with blocks of
// `blockSize`. The family's checks see whole blocks, zeros past the runs;
// the file keeps at most the runs' bytes (those that lie on the medium).
// Returns true when the file was kept; `saved` then holds its runs cut to
// its final size. A write failure other than a full file is
// left in `status`.
bool carveAlongRuns(CarveCandidate& file, const std::vector<ByteRun>& runs, uint32_t blockSize,
                    MediaReader& medium, OutputFolder& folder, uint32_t& savedCounter, SavedFile& saved,
                    Status& status);

// The first `length` bytes of `runs`.
std::vector<ByteRun> runsUpTo(const std::vector<ByteRun>& runs, uint64_t length);

// A copy of what recognition set in `file` (no output), to carve it once more.
CarveCandidate recognisedCopy(const CarveCandidate& file);

// A name for the file system a kept file goes to, from `name`: characters
// that no file system takes in a name (path separators, : * ? " < > |,
// control characters) become "_", trailing dots and spaces go, and the name
// is cut to 200 bytes at a character boundary. Empty when nothing is left.
std::string safeFileName(const std::string& name);

}  // namespace salvora

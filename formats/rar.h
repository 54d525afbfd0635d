// RAR archives, versions 4 (RAR 1.5 to 4.x) and 5: the marker, then blocks
// whose header CRCs are checked, followed to the end-of-archive block.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts the RAR 4 marker followed by an archive header, or the RAR 5
// signature followed by a main archive header, whose header CRC matches.
// Archives whose headers are encrypted are refused: they cannot be walked.
uint32_t recogniseRar(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Walks the blocks (header, header CRC, data area). Ends the file after the
// end-of-archive block; at a block that is not valid it is cut before that
// block once a file block was seen, and dropped otherwise.
BlockVerdict blockCheckRar(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

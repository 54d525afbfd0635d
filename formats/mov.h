// Files made of ISO base media boxes ("atoms"): QuickTime movies, MP4 and its
// audio variants, 3GPP/3GPP2 and JPEG 2000. A file is accepted when the atoms
// at the start of the block lead to one that decides its type, followed atom
// by atom while the top-level atoms are of known types and plausible sizes,
// and cut at the end of the last of them (endCheckTruncateToExpected).
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Walks the atoms from the first byte of the window until one decides the
// type: "ftyp" by its brands, "moov", "mdat", "pnot" and "wide". Sets
// expectedSize to the end of the deciding atom. Refuses a window whose atom
// chain leaves it or holds an implausible size first, and a block that stands
// exactly where the next atom of the movie in progress is due.
uint32_t recogniseMov(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Follows the top-level atoms through the window: expectedSize is the offset
// of the next one. Returns 2 (the file ends, at expectedSize) at an atom of
// another type or of a size below 8 bytes or of 2^30 bytes or more, 1 otherwise.
BlockVerdict blockCheckMov(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

// 7-Zip archives: the signature header gives the place and size of the
// archive's closing header; the archive ends with it, and both headers'
// CRC-32s must match.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts the 6-byte signature, version 0.x and a start header whose CRC-32
// matches, announcing a closing header of nonzero size. The length is 32 +
// next header offset + next header size.
uint32_t recogniseSevenZip(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                           const CarveCandidate& current, CarveCandidate& fresh);

// Checks the closing header as it passes: its first byte (a header or an
// encoded header) and its CRC-32. Ends the file at its end, or drops it
// (expectedSize 0) when the closing header does not match.
BlockVerdict blockCheckSevenZip(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

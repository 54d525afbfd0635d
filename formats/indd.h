// InDesign documents: a whole number of 4096-byte pages, the count taken from
// the header.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts the 24-byte InDesign header (GUID and "DOCUMENT"). expectedSize =
// (le32 at 280 + 1) x 4096, computed in 64 bits.
uint32_t recogniseIndd(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                       const CarveCandidate& current, CarveCandidate& fresh);

// Drops a file shorter than expectedSize and cuts one longer than
// expectedSize + 40960 to that length; anything between is kept as written.
void endCheckIndd(CarveCandidate& candidate);

}  // namespace salvora

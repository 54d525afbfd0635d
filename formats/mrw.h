// Minolta raw images (family "mrw"): their size comes from the header (data
// offset plus the packed sensor image) and they are cut to it.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts 00 "MRM" with the "\0PRD" block at byte 8. expectedSize = be32 at 4
// + 8 + (be16 at 26 x be16 at 24 x bits per pixel at byte 32 + 7) / 8, in 64
// bits; the file ends at that size and is dropped when shorter.
uint32_t recogniseMrw(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

}  // namespace salvora

// Panasonic and Leica raw images (family "raw"): accepted from either of
// their two headers; they run until the engine ends them (next header, size
// limit or end of the medium).
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "ARECOYK" at byte 25, or else "IIU" and a zero byte at byte 0, with
// extension "raw"; sets no size and no checks.
uint32_t recognisePanasonicRaw(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                               const CarveCandidate& current, CarveCandidate& fresh);

}  // namespace salvora

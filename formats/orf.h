// Olympus raw images (family "orf"): accepted from their header; they run
// until the engine ends them (next header, size limit or end of the medium).
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "IIRS" or "IIRO" with extension "orf"; sets no size and no checks.
uint32_t recogniseOrf(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

}  // namespace salvora

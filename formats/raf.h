// Fujifilm raw images (family "raf"): accepted from their header; they run
// until the engine ends them (next header, size limit or end of the medium).
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "FUJIFILM" with extension "raf"; sets no size and no checks.
uint32_t recogniseRaf(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

}  // namespace salvora

// Sigma/Foveon X3 raw images (family "x3f"): accepted from their header; they
// run until the engine ends them (next header, size limit or end of the medium).
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "FOVb" with extension "x3f"; sets no size and no checks.
uint32_t recogniseX3f(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

}  // namespace salvora

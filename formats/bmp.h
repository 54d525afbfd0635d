// BMP: Windows bitmaps, cut at the file size their header gives.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "BM" with both reserved words zero; the length is the le32 at byte 2.
uint32_t recogniseBmp(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

}  // namespace salvora

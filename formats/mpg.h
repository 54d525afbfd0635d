// MPEG program and elementary streams: recognised by their start codes; the
// file runs until the engine ends it (the next header, the size limit or the
// end of the medium).
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts 00 00 01 followed by BA (pack), B0 or B5 (MPEG-4 visual object
// sequence and object), B3 (video sequence header with a nonzero picture
// size) or BB (system header with its marker bit). Refuses while an "mpg"
// file is in progress.
uint32_t recogniseMpg(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

}  // namespace salvora

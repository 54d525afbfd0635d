// MPEG-4 audio (M4A, M4B audio books, M4P): ISO base media files named by the
// brands of their "ftyp" box and followed box by box like a movie.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts a window that starts with an "ftyp" box whose brands ask for "m4a"
// (see brandExtension), followed by a top-level box.
uint32_t recogniseM4a(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

}  // namespace salvora

// Pictures built on ISO base media boxes: HEIF/HEIC (phones), AVIF and Canon
// CR3 raw images, named by the brands of their "ftyp" box and followed box by
// box like a movie.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts a window that starts with an "ftyp" box whose brands ask for
// "heic", "avif" or "cr3" (see brandExtension), followed by a top-level box.
uint32_t recogniseHeif(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                       const CarveCandidate& current, CarveCandidate& fresh);

}  // namespace salvora

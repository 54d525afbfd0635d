// RIFF: AVI, WAVE and the other RIFF forms, named by their form type and cut
// at the length their header gives.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts a window that starts with "RIFF". The form type at byte 8 picks the
// extension and the length: the little-endian size at byte 4 plus 8 (for
// "NUND", big-endian plus 12), computed in 64 bits. Refuses the "AVIX" part
// of a large AVI while a RIFF file is being followed.
uint32_t recogniseRiff(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                       const CarveCandidate& current, CarveCandidate& fresh);

// Walks the chunks of a little-endian RIFF file (into lists) and ends it at
// the size its header gave; a chunk that is no chunk, or runs past that
// size, ends the file at once (the end check then drops it). Headers found
// at a block start inside a chunk are not new files, but for those inside a
// recording's samples ("data").
BlockVerdict blockCheckRiff(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

// WebP pictures: a RIFF file of form "WEBP" whose first chunk is a VP8, VP8L
// or VP8X chunk. Its chunks are followed to the length the RIFF header gives.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "RIFF" size "WEBP" with a first chunk that is a VP8 key frame, a
// VP8L bitstream or a VP8X header and fits in the RIFF length.
uint32_t recogniseWebp(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                       const CarveCandidate& current, CarveCandidate& fresh);

// Walks the chunks (four printable characters, a size, padding to even).
// The file ends where the RIFF length says; a chunk that is not valid or
// runs past that length drops the file (expectedSize 0).
BlockVerdict blockCheckWebp(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

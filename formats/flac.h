// FLAC audio: "fLaC", the STREAMINFO block and the other metadata blocks up
// to the one flagged last, then the frames. Each frame header is checked
// (sync code, fields that agree with STREAMINFO, running frame or sample
// number, CRC-8) and each frame's end by its CRC-16; the stream ends with the
// frame that completes STREAMINFO's total samples, or with the last valid
// frame when the total is not given.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "fLaC" followed by a 34-byte STREAMINFO block with a plausible
// block size, sample rate, channel count and sample size.
uint32_t recogniseFlac(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                       const CarveCandidate& current, CarveCandidate& fresh);

// Walks the metadata blocks and the frames. expectedSize is the end of the
// last frame whose CRC-16 matched (0 before the first).
uint32_t blockCheckFlac(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

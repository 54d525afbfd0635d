// FLAC audio: "fLaC", the STREAMINFO block and the other metadata blocks up
// to the one flagged last, then the frames. Each frame header is checked
// (sync code, fields that agree with STREAMINFO, running frame or sample
// number, CRC-8) and each frame's end by its CRC-16 where the next header
// follows; the last frame (the one that completes STREAMINFO's total, or the
// one no frame follows) is measured by reading its subframes.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "fLaC" followed by a 34-byte STREAMINFO block with a plausible
// block size, sample rate, channel count and sample size.
uint32_t recogniseFlac(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                       const CarveCandidate& current, CarveCandidate& fresh);

// Walks the metadata blocks and the frames. expectedSize is the end of the
// last frame whose CRC-16 matched and that the next frame's header follows
// (0 before the first). Ends the file once the last frame of the stream, or
// a frame that no next frame follows, is written whole.
BlockVerdict blockCheckFlac(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

// Measures the frame that was being followed by reading it back from the
// output (its subframes to their last bit, then its CRC-16) and keeps it
// when it is whole; cuts the file after the last frame so checked, or drops
// a file without one.
void endCheckFlac(CarveCandidate& candidate);

}  // namespace salvora

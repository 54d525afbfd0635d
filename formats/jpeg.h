// JPEG: accepted from its first marker segments, followed through its header
// segments until the start of scan, kept only with a sound marker structure
// (its Exif thumbnail's too) and cut after its last end-of-image marker.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

uint32_t recogniseJpeg(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                       const CarveCandidate& current, CarveCandidate& fresh);
BlockVerdict blockCheckJpeg(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);
void endCheckJpeg(CarveCandidate& candidate);
// File offset of the first bad marker of the written file (main image header
// or Exif thumbnail header), 0 when there is none or nothing can be read.
uint64_t checkJpegStructure(CarveCandidate& candidate);

}  // namespace salvora

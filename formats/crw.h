// Canon CIFF raw images (family "crw"): accepted from the "HEAPCCDR" heap
// header and cut 12 bytes after the last 0A 30 record tag of the file.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "II" or "MM" followed at byte 6 by "HEAPCCDR"; installs endCheckCrw.
uint32_t recogniseCrw(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Cuts the file 12 bytes after the end of the last 0A 30 in it (the record of
// the root heap's last sub-heap, its size and offset, then the heap's table
// offset); drops it when there is none.
void endCheckCrw(CarveCandidate& candidate);

}  // namespace salvora

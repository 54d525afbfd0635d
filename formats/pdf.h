// PDF: cut after the last "%EOF" marker (and the line end after it), or, for
// a linearised file, at the length its linearisation dictionary declares.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts every window that starts with "%PDF-1". "Illustrator" in the first
// 512 bytes names the file "ai". A linearisation dictionary there with an
// "/L" length makes the file linearised (length in expectedSize).
uint32_t recognisePdf(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Cuts the file after its last "%EOF" and keeps a line feed, carriage return
// and line feed, or carriage return that follows it; size 0 without "%EOF".
void endCheckPdf(CarveCandidate& candidate);

// Cuts the file at expectedSize and keeps it only when "%EOF" stands in its
// last 20 bytes; a file shorter than expectedSize is dropped (size 0).
void endCheckLinearizedPdf(CarveCandidate& candidate);

}  // namespace salvora

// PDF: ends after the "%EOF" marker (and its line end) that no incremental
// update follows, or, for a linearised file without an update after it, at
// the length its linearisation dictionary declares.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts every window that starts with "%PDF-1". "Illustrator" in the first
// 512 bytes names the file "ai". A linearisation dictionary there with an
// "/L" length makes the file linearised (length in expectedSize).
uint32_t recognisePdf(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Looks for "%EOF" from expectedSize on (the scan position). When what
// follows it (after its line end and white space) is not an incremental
// update (an object "N G obj" or "xref", after comment lines), the file ends there: the
// end check becomes endCheckTruncateToExpected with that end in expectedSize.
BlockVerdict blockCheckPdf(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

// Follows a linearised file to the length its dictionary declares (in
// expectedSize) and looks at what follows: an incremental update (saved
// after the file was linearised) is walked on with blockCheckPdf and
// endCheckPdf; anything else ends the file at that length.
BlockVerdict blockCheckLinearizedPdf(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

// For a file whose walk did not end: cuts the file after its last "%EOF" and keeps a line feed, carriage
// return and line feed, or carriage return that follows it; size 0 without "%EOF".
void endCheckPdf(CarveCandidate& candidate);

// Cuts the file at expectedSize and keeps it only when "%EOF" stands in its
// last 20 bytes; a file shorter than expectedSize is dropped (size 0).
void endCheckLinearizedPdf(CarveCandidate& candidate);

}  // namespace salvora

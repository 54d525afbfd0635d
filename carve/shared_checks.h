// Block and end checks that several families install on their candidates.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Goes on while size < expectedSize; otherwise sets size = expectedSize and ends the file.
BlockVerdict blockCheckUntilExpected(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

// Drops a file shorter than expectedSize and cuts a longer one to it.
void endCheckTruncateToExpected(CarveCandidate& candidate);

// Cuts the file just after the last occurrence of `footer` in what was
// written; size 0 when there is none. Leaves size unchanged when the file
// has no output.
void endCheckFindLastFooter(CarveCandidate& candidate, const uint8_t* footer, uint32_t footerLength);

// Keeps the line end that follows size in the file: flag 1 a line feed, flag 2
// a carriage return and line feed, flag 4 a lone carriage return. Leaves size
// unchanged when the file has no output.
void endCheckAbsorbLineEnd(CarveCandidate& candidate, uint32_t flags);

}  // namespace salvora

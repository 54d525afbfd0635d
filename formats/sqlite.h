// SQLite databases: the 100-byte database header gives the page size and the
// number of pages, which are the file's length when the header is current.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "SQLite format 3" with a valid page size, file format versions,
// payload fractions, schema format and text encoding, a nonzero page count,
// and a change counter equal to the "version valid for" number (so the page
// count is current). The length is page size x page count.
uint32_t recogniseSqlite(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                         const CarveCandidate& current, CarveCandidate& fresh);

}  // namespace salvora

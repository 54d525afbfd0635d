// PNG pictures (and animated PNG): the signature and a valid IHDR chunk start
// a file; the chunks are followed one by one, each with its CRC-32 checked,
// up to IEND.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts the 8-byte PNG signature followed by an IHDR chunk of 13 bytes with
// a valid size, bit depth, colour type, methods and CRC.
uint32_t recognisePng(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Walks the chunks (length, type, data, CRC-32). expectedSize is the end of
// the last whole chunk once an IDAT (or fdAT) chunk was complete, 0 before.
// Ends the file after IEND, or at the first chunk that is not valid.
BlockVerdict blockCheckPng(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

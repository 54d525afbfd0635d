// MPEG program and elementary streams: recognised by their start codes. A
// program stream is followed pack by pack and packet by packet and ends after
// its program end code, or after its last whole pack or packet when the code
// is missing; an elementary stream runs until the engine ends it (the next
// header, the size limit or the end of the medium).
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts 00 00 01 followed by BA (pack), B0 or B5 (MPEG-4 visual object
// sequence and object), B3 (video sequence header with a nonzero picture
// size) or BB (system header with its marker bit). While an "mpg" file is in
// progress, refuses all of them inside a program stream and all but a pack
// header (the start of a program stream) after an elementary stream.
uint32_t recogniseMpg(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);
// Walks packs (MPEG-1 and MPEG-2 pack headers) and packets (system header,
// PES packets: start code, stream id BB..FF, 16-bit length): expectedSize is
// the next one. Ends the file after 00 00 01 B9, or at expectedSize when
// anything else stands there (the end check becomes endCheckTruncateToExpected).
BlockVerdict blockCheckProgramStream(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

// Ogg audio (Vorbis, Opus, FLAC in Ogg ...): pages with their capture pattern
// and CRC, from the first page of a stream (beginning of stream) to the page
// that ends the last of the streams it opened.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts a first page ("OggS", version 0, beginning-of-stream flag, page
// number 0) whose CRC matches. Its first packet names the file: "OpusHead"
// gives "opus", anything else "ogg".
uint32_t recogniseOgg(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Walks the pages, checking each one's CRC. The file ends after the page
// that ends the last open stream; at a page that is not valid it ends after
// the last valid page (kept once it holds more than the first page).
BlockVerdict blockCheckOgg(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

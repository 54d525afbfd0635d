// MPEG-2 transport streams of Blu-ray discs and camcorders: 192-byte units
// (a 4-byte time code and a 188-byte packet) marked "HDMV", and 188-byte
// packets marked "TSHV". Both are followed packet by packet until a sync byte
// is missing.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts three consecutive 192-byte units (sync byte 47 at 4, 196 and 388)
// with "HDMV" at bytes 215 and 232. Refuses while an "m2ts" file is in progress.
uint32_t recogniseM2tsHdmv(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                           const CarveCandidate& current, CarveCandidate& fresh);

// Accepts three consecutive 188-byte packets (47 at 0, 188 and 376) with
// "TSHV" at byte 395. Refuses when an "m2ts" file is in progress whose next
// packet is due exactly at this block.
uint32_t recogniseM2tTshv(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                          const CarveCandidate& current, CarveCandidate& fresh);

// Walks 192-byte units; returns 2 (expectedSize at that unit) at the first
// unit whose sync byte is not 47.
BlockVerdict blockCheckM2ts192(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

// Walks 188-byte packets; returns 2 (expectedSize at that packet) at the
// first packet that does not start with 47.
BlockVerdict blockCheckTs188(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

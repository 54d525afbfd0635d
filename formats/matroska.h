// Matroska and WebM videos (and Matroska audio): an EBML header whose DocType
// is "matroska" or "webm", then a Segment. The file ends where the Segment's
// size says; a Segment of unknown size (a live recording) is followed element
// by element until one is not valid.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts an EBML header with DocType "matroska" (extension "mkv") or "webm"
// ("webm") followed by a Segment whose first element is a top-level one.
uint32_t recogniseMatroska(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                           const CarveCandidate& current, CarveCandidate& fresh);

// Walks the top-level elements of the Segment (SeekHead, Info, Tracks,
// Cluster, Cues, Chapters, Tags, Attachments, Void, CRC-32) and the children
// of a Cluster of unknown size. expectedSize is the end of the last whole
// element once a Cluster was seen (0 before), and the Segment's end when the
// walk reaches it.
BlockVerdict blockCheckMatroska(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

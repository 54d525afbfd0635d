// GIF pictures, still and animated: the header and logical screen start a
// file; its blocks (extensions, image descriptors with their colour tables
// and data sub-blocks) are followed to the 0x3B trailer.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts "GIF87a" or "GIF89a" with a logical screen of nonzero size whose
// colour table is followed by an extension or an image descriptor.
uint32_t recogniseGif(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Walks the blocks and sub-blocks. expectedSize is the end of the last whole
// block once a whole image was seen, 0 before. Ends the file after the
// trailer, or at the first byte that is no valid block.
BlockVerdict blockCheckGif(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

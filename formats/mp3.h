// MP3: a stream that starts at an ID3v2 tag or at a run of MPEG audio frames
// and is followed frame by frame, stepping over the tags that sit between or
// after the frames (Lyrics3, APE, ID3v1 and the jukebox tag). The file ends at
// the first byte that is none of these.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts an ID3v2 tag (version 2, 3 or 4); the stream is expected right after
// the tag (and its footer, for version 4 with the footer flag).
uint32_t recogniseId3(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Accepts a window that starts with an MPEG Layer III frame header and holds at
// least two consecutive frames (each with its frame sync and a usable length)
// in its first 2048 bytes. Refuses while an MP3 file is in progress.
uint32_t recogniseMpegAudio(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                            const CarveCandidate& current, CarveCandidate& fresh);

// Length in bytes of the MPEG audio frame whose header bytes 1 and 2 are given
// (ISO/IEC 11172-3 and 13818-3 bit rates and sample rates, MPEG-1, 2 and 2.5,
// Layers I to III). 0 for free format, a bad bit-rate or sample-rate index, or
// a reserved version or layer.
uint32_t mpegFrameLength(uint8_t byte1, uint8_t byte2);

// Steps over zero bytes that pad an ID3v2 tag, then hands the stream to
// blockCheckMpegAudio. Returns 2 when the file ends with this block.
BlockVerdict blockCheckId3Padding(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

// Follows the stream through frames, Lyrics3, APE, ID3v1 and jukebox tags.
// Returns 2 at the first position that is none of them (expectedSize then
// points there), 1 to go on.
BlockVerdict blockCheckMpegAudio(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

// Length of the jukebox tag (a tag that ends in "Brava Software Inc." or
// "TAG") that starts at window[position], or 0 when there is none. Only bytes
// inside the window are read: a tag whose structure or footer text lies
// beyond it counts as none; the fixed-length bytes after the footer text are
// counted without being read.
uint32_t jukeboxTagLength(const uint8_t* window, uint64_t position, uint64_t windowLength);

}  // namespace salvora

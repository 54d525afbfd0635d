// JPEG: accepted from its first marker segments, followed marker by marker
// and through the entropy-coded data of every scan to the end-of-image marker
// of the main image (thumbnails and previews in APPn segments are skipped by
// their lengths), kept only with a sound marker structure (its Exif
// thumbnail's too). A file whose walk does not reach its end is cut after
// its last end-of-image marker.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

uint32_t recogniseJpeg(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                       const CarveCandidate& current, CarveCandidate& fresh);
// The marker walk from the start of image; at a start of scan it hands over
// to blockCheckJpegEntropy. Ends the file at the end-of-image marker (the
// end check becomes endCheckJpegWalked); a broken marker before the first
// scan ends the file too, one after it leaves the file unchecked.
BlockVerdict blockCheckJpeg(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);
// The marker walk between and after the scans of a file.
BlockVerdict blockCheckJpegMarkersAfterScan(const uint8_t* window, uint32_t windowLength,
                                            CarveCandidate& candidate);
// The walk through entropy-coded data: FF 00 stuffing, restart markers and
// fill bytes go on; the end-of-image marker ends the file; any other marker
// hands back to the marker walk.
BlockVerdict blockCheckJpegEntropy(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);
// For a file whose walk did not end: cut after the last end-of-image marker.
void endCheckJpeg(CarveCandidate& candidate);
// For a file whose walk ended: keeps expectedSize bytes (the end of its
// end-of-image marker) when the structure check passes.
void endCheckJpegWalked(CarveCandidate& candidate);
// File offset of the first bad marker of the written file (main image header
// or Exif thumbnail header), 0 when there is none or nothing can be read.
uint64_t checkJpegStructure(CarveCandidate& candidate);

}  // namespace salvora

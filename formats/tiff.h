// TIFF and the TIFF-based camera raw formats (family "tif"): accepted from a
// TIFF header, named by the raw format's marker, DNG version tag or camera
// maker, and cut at the end of the last data its image directories refer to.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts a little- or big-endian TIFF header. Extension "cr2" for the Canon
// marker ("CR", 2 at bytes 8-10), "dng" when the DNG version tag is found,
// the maker's raw extension ("pef", "nef", "dcr", "arw") from the Make text,
// else "tif". Installs endCheckTiff, and blockCheckTiff but for "arw" and "dng".
uint32_t recogniseTiff(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                       const CarveCandidate& current, CarveCandidate& fresh);

// Follows a TIFF file until every directory the walk reads is written;
// from then on nothing after the data they refer to is written (the file
// still ends where the next file starts, and the end check decides as
// before). Not installed for "arw" and "dng" files, which keep all that is
// followed.
BlockVerdict blockCheckTiff(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

// Walks the written file's directories: drops the file (size 0) when it is
// shorter than the data they refer to or when they cannot be walked; cuts it
// to the end of that data, except that "arw" and "dng" files keep the size
// written. Leaves size unchanged when the first 8 bytes cannot be read.
void endCheckTiff(CarveCandidate& candidate);

// End of the data referred to by the directory at `offset` of the written
// `file` and by
// everything it leads to: its sub-directories (tags 330, 33424, 34665), the
// strips, tiles and thumbnail it names, and the directories chained after it.
// `depth` counts sub-directory levels (0-4 are walked), `chain` the place in
// a chain of next-directory links (0-16 are walked). Returns 0 when the
// directory cannot be walked (offset 0 or odd, unreadable, empty, too deep,
// a sub-directory that fails, or a walk that needs more work than any sound
// file does). A failing directory further down a chain only ends the chain.
uint64_t tiffDataEnd(OutputFile& file, uint64_t offset, bool bigEndian, uint32_t depth, uint32_t chain);

}  // namespace salvora

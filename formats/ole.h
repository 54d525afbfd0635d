// Compound documents (family "doc"): word-processor, spreadsheet, presentation
// and other office files in the OLE2 compound document format with 512-byte
// sectors. Accepted from a plausible header, first named by keywords in the
// window, sized by the sector allocation table and finally named by the
// stream names of the directory.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts a compound document header with 512-byte sectors, 64-byte mini
// sectors, zero reserved fields and directory sector count, at least one and
// at most 511 x DIFAT count + 109 FAT sectors and at most 50 DIFAT sectors.
// The extension comes from the first keyword row that is found anywhere in
// the window ("doc" when none is); installs endCheckOle.
uint32_t recogniseOle(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Cuts the file to the size its allocation table gives, drops it (size 0)
// when that cannot be computed or exceeds what was written, and takes the
// extension the directory decides on, if any.
// Follows a compound document until the sectors of its FAT are written;
// the FAT then gives the document's size, and the blocks after it are
// followed without being written (the document still ends where the next
// file starts, and its end check decides as before).
BlockVerdict blockCheckOle(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

void endCheckOle(CarveCandidate& candidate);

// Size of the document written to `file`: 512 header bytes plus 512 bytes per FAT
// entry, less the free entries at the end of the last FAT sector (its first
// entry never counts as free). Returns 0 when the header is implausible, the
// DIFAT chain names fewer FAT sectors than the header counts, or any sector
// needed cannot be read.
uint64_t oleFileSize(OutputFile& file);

// Extension decided by the directory of the document written to `file`, which is
// `fileSize` bytes long: the first stream or storage whose name starts with a
// known application's stream name, or "db" for a thumbnail catalogue (a
// directory sector whose second and third entries are named "1" and "2").
// Returns null when there is no such entry, when a sector needed lies beyond
// `fileSize`, or when an entry is damaged (bad name size, type or colour).
const char* oleDirectoryExtension(OutputFile& file, uint64_t fileSize);

}  // namespace salvora

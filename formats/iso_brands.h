// The brands of ISO base media files ("ftyp" box) and the extension each asks
// for, shared by the movie family and the picture and audio families that
// are built on the same boxes (HEIC, AVIF, CR3, M4A).
#pragma once

#include <cstdint>
#include <initializer_list>

#include "carve/family.h"
#include "media/bytes.h"

namespace salvora {

// The extension that the brands of an "ftyp" body (major brand, minor
// version, compatible brands) ask for, or null when none is known: the major
// brand decides when it is in the table; otherwise the first table row with
// one of the compatible brands does.
const char* brandExtension(const Bytes& body);

// For a window that starts with an "ftyp" box of 16 to 4096 bytes whose size
// is a whole number of brands: the extension its brands ask for, or null.
// `boxSize` receives the box's size.
const char* ftypExtension(const Bytes& window, uint64_t& boxSize);

// Accepts into `fresh` a file whose "ftyp" box (at the window's start) asks
// for one of `wanted` and is followed by a top-level box that such files
// carry ("meta", "moov", "mdat", "free", "skip", "uuid", "wide"). The file is
// then followed box by box like a movie (blockCheckMov) and cut at the end of
// its last box. Returns 1 when accepted, 0 otherwise (fresh untouched).
uint32_t acceptIsoFile(const Bytes& window, std::initializer_list<const char*> wanted, CarveCandidate& fresh);

}  // namespace salvora

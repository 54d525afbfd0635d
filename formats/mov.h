// Files made of ISO base media boxes ("atoms"): QuickTime movies, MP4 and its
// audio variants, 3GPP/3GPP2 and JPEG 2000. A file is accepted when the atoms
// at the start of the block lead to one that decides its type, followed atom
// by atom while the top-level atoms are of known types and plausible sizes,
// and cut at the end of the last of them (endCheckMovie). A
// JPEG 2000 file is followed box by box to the end of its codestream. Headers
// inside the atoms walked so far are part of the file.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Walks the atoms from the first byte of the window until one decides the
// type: "ftyp" by its brands, "moov", "mdat", "pnot" and "wide". Sets
// expectedSize to the end of the deciding atom. Refuses a window whose atom
// chain leaves it or holds an implausible size first, and a block that stands
// exactly where the next atom of the movie in progress is due.
uint32_t recogniseMov(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Follows the top-level atoms through the window: expectedSize is the offset
// of the next one. Returns 2 (the file ends, at expectedSize) at an atom of
// another type or of a size below 8 bytes or of 2^30 bytes or more, 1 otherwise.
// A file type atom ("ftyp") after the first ends the file too: it opens the next movie.
BlockVerdict blockCheckMov(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);
// The end check of a movie: cut at the end of its last atom
// (endCheckTruncateToExpected). Where its video samples no longer start as
// their codec starts them, other files were written over it: searchAgainFrom is
// set there, so it is kept whole but partial and its blocks from there are
// searched again.
void endCheckMovie(CarveCandidate& candidate);
// Follows the boxes of a JPEG 2000 file (any type of four printable
// characters, 32- or 64-bit sizes) through its codestream box "jp2c";
// a codestream box of size 0 (to the end of the data) is followed through
// the codestream's own markers to its end marker (FF D9).
BlockVerdict blockCheckJp2(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);
// After the codestream box: only metadata boxes (XML, UUID, IPR, ...) may
// follow; any other box, or anything that is not a box, ends the file before it.
BlockVerdict blockCheckJp2AfterCodestream(const uint8_t* window, uint32_t windowLength,
                                          CarveCandidate& candidate);
// Walks a JPEG 2000 codestream: marker segments by their lengths, tile-parts
// by their lengths (Psot), to the end-of-codestream marker, after which the
// file ends. Anything else where a marker must stand ends the file at expectedSize.
BlockVerdict blockCheckJ2kCodestream(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

}  // namespace salvora

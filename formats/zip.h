// ZIP archives and the documents built on them (OpenDocument and its older
// StarOffice form, Office Open XML). A file is accepted at its first local
// file header, named from its first member, followed until the engine ends
// it, and then cut right after its end-of-central-directory record by a walk
// over all of its records from the first byte.
#pragma once

#include <cstdint>

#include "carve/family.h"

namespace salvora {

// Accepts a local file header ("PK" 3 4) and, for a spanned archive, the
// "PK00" marker followed by one. Sets the extension from the first member:
// "mimetype" with an OpenDocument or StarOffice type, "[Content_Types].xml"
// for Office Open XML, "zip" otherwise. Refuses a local header that stands
// exactly where the next member of the archive in progress is due.
uint32_t recogniseZip(const uint8_t* window, uint32_t windowLength, uint32_t strictOnly,
                      const CarveCandidate& current, CarveCandidate& fresh);

// Follows the local file headers of the archive in progress through the
// window, so that recogniseZip can tell its next member from a new archive.
// Never ends the file (always 1); clears itself where the members can no
// longer be followed (the central directory, an unreadable header).
BlockVerdict blockCheckZip(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate);

// Walks the records of the written output from its first byte and sets size
// just past the end-of-central-directory record and its comment (the comment
// is cut where the written data ends). Sets size to 0 when a record is
// unknown, cannot be read, or a data descriptor does not match its member.
// Corrects the extension of an Office Open XML package from its member names.
void endCheckZip(CarveCandidate& candidate);

// Distance from file offset `from` of the written `output` to the first
// occurrence of `pattern` at or after it; -1 when there is none before the
// end of the written data. A zero-length pattern is found at distance 0.
int64_t findForward(OutputFile& output, uint64_t from, const uint8_t* pattern, uint32_t length);

}  // namespace salvora

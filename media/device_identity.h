// Filling a reader's identity fields from what its device reported.
#pragma once

#include "media/media_reader.h"
#include "media/storage_descriptor.h"

namespace salvora {

// Sets fixedMedia (1 when not removable), busType, serial (one trailing space
// kept), vendor and product (trailing spaces removed), model (modelText) and
// revision (as reported) of `reader`. An identity that was not answered
// changes nothing.
void applyIdentity(MediaReader& reader, const DeviceIdentity& identity);

}  // namespace salvora

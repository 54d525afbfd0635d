// Expert Witness (E01) evidence images as media, read through libewf.
#pragma once

#include <memory>
#include <string>

#include "media/image_reader.h"

namespace salvora {

// True when this build can read Expert Witness images.
bool canReadEvidenceImages();

// Opens the evidence image of which `path` is a segment, with the other
// segments found beside it by their names (case.E01, case.E02, ...; a single
// renamed segment is read alone), read-only. Size and sector size are those
// of the acquired medium; flat geometry; devicePath is `path`. A chunk whose
// checksum does not match, or that lies in a missing or truncated segment,
// is a read failure with a message naming the problem in lastErrorText. On
// failure returns nothing with the reason in `whyNot`. `description`
// receives the segment files, the stored acquisition hashes and, when a
// segment is missing or truncated, that problem in words (the image is
// still opened: the rest of the medium can be read).
std::unique_ptr<MediaReader> openEvidenceImage(const std::string& path, std::string& whyNot,
                                               ImageDescription& description);

}  // namespace salvora

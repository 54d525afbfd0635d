// Disk images as media: a file holding the bytes of a card or a disk, a raw
// image split into numbered parts, or an Expert Witness (E01) evidence image.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/media_reader.h"

namespace salvora {

enum class ImageFormat {
    kRaw,            // one file holding every byte of the medium
    kSplitRaw,       // a raw image cut into parts: disk.001, disk.002, ... or disk.aa, disk.ab, ...
    kExpertWitness,  // Expert Witness segments: case.E01, case.E02, ...
};

// A hash of the whole medium stored in the image when it was acquired.
struct AcquiredHash {
    std::string type;  // "md5", "sha1" (as DFXML names them)
    std::string hex;   // lower-case hexadecimal
};

// What an opened image is made of.
struct ImageDescription {
    ImageFormat format = ImageFormat::kRaw;
    // The files that hold the medium, in order (one for a raw image).
    std::vector<std::string> files;
    // Hashes stored by the acquisition, when the image holds any.
    std::vector<AcquiredHash> acquiredHashes;
    // Why parts of the medium cannot be read (a segment of an evidence image
    // is missing or truncated), in words; empty when the image is whole.
    std::string incomplete;
};

// Opens the image file at `path` read-only as it is, whatever it holds: a
// regular file or a block device. The reader has sector size 512, flat
// geometry (cylinders = size / 512, one head, one sector) and no identity
// texts; its devicePath is `path`. Opening never waits (a pipe is refused, not
// read). On failure returns nothing and puts a sentence a user can act on into
// `whyNot` (missing file, a folder, a pipe, a character device or socket, an
// empty file, no permission).
std::unique_ptr<MediaReader> openRawImage(const std::string& path, std::string& whyNot);

// Opens the image at `path` read-only, telling its format by its content:
// an Expert Witness signature opens the evidence image with the other
// segments found beside it, whatever the file is called; a name ending in a
// split-part number (.001, .002, ... or .aa, .ab, ...) opens every part of the
// series in order as one medium; anything else is a raw image. Size and
// sector size are those of the medium the image holds; devicePath is `path`.
// On failure returns nothing with the reason in `whyNot`: besides the
// failures of openRawImage, a file named like an evidence image that does
// not hold one, a missing or short middle part of a split image, an evidence
// image that cannot be read by this build. `description`, when given,
// receives what the image is made of.
std::unique_ptr<MediaReader> openImage(const std::string& path, std::string& whyNot,
                                       ImageDescription* description = nullptr);

}  // namespace salvora

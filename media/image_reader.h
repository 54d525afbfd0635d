// Disk images as media: a file holding the bytes of a card or a disk.
#pragma once

#include <memory>
#include <string>

#include "media/media_reader.h"

namespace salvora {

// Opens the image at `path` read-only: a regular file or a block device. The
// reader has sector size 512, flat geometry (cylinders = size / 512, one
// head, one sector) and no identity texts; its devicePath is `path`. Opening
// never waits (a pipe is refused, not read). On failure returns nothing and
// puts a sentence a user can act on into `whyNot` (missing file, a folder, a
// pipe, a character device or socket, an empty file, no permission).
std::unique_ptr<MediaReader> openImage(const std::string& path, std::string& whyNot);

}  // namespace salvora

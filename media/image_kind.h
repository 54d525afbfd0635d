// What a path given as a disk image is. Images are read from regular files
// and block devices; anything else (a pipe, a character device such as
// /dev/urandom, a socket, a folder) is refused by name before it is read.
#pragma once

#include <string>

namespace salvora {

enum class ImageKind {
    kRegularFile,
    kBlockDevice,
    kFolder,
    kPipe,
    kCharacterDevice,
    kSocket,
    kOther,
};

// "a pipe", "a character device", "a socket", "a folder", "a special file";
// "a file" and "a block device" for the kinds that can be read.
std::string imageKindName(ImageKind kind);

// True for the kinds an image can be read from: regular files and block devices.
bool isReadableImageKind(ImageKind kind);

// The sentence refusing `path` as an image for its kind, for example
// "The image /tmp/feed is a pipe, not a disk image."; empty for the kinds
// that can be read.
std::string notAnImageText(const std::string& path, ImageKind kind);

}  // namespace salvora

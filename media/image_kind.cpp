#include "media/image_kind.h"

namespace salvora {

std::string imageKindName(ImageKind kind) {
    switch (kind) {
        case ImageKind::kRegularFile:
            return "a file";
        case ImageKind::kBlockDevice:
            return "a block device";
        case ImageKind::kFolder:
            return "a folder";
        case ImageKind::kPipe:
            return "a pipe";
        case ImageKind::kCharacterDevice:
            return "a character device";
        case ImageKind::kSocket:
            return "a socket";
        default:
            return "a special file";
    }
}

bool isReadableImageKind(ImageKind kind) {
    return kind == ImageKind::kRegularFile || kind == ImageKind::kBlockDevice;
}

std::string notAnImageText(const std::string& path, ImageKind kind) {
    if (isReadableImageKind(kind))
        return std::string();
    if (kind == ImageKind::kFolder)
        return "The image " + path + " is a folder, not a disk image file.";
    return "The image " + path + " is " + imageKindName(kind) +
           ", not a disk image. Please give an image file or a disk's block device.";
}

}  // namespace salvora

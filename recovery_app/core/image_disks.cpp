#include "recovery_app/core/image_disks.h"

#include "media/image_reader.h"

namespace salvora {

namespace {

std::string fileNameOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

void addImageDisks(DiskList& list, const std::vector<ImageArgument>& images,
                   std::vector<std::string>& failures) {
    for (size_t index = 0; index < images.size(); ++index) {
        std::string whyNot;
        std::unique_ptr<MediaReader> reader = openImage(images[index].path, whyNot);
        if (!reader) {
            failures.push_back(whyNot);
            continue;
        }
        reader->model = fileNameOf(images[index].path);
        reader->driveIndex = kFirstImageDiskNumber + static_cast<uint32_t>(index);
        addDisk(list, std::move(reader));
    }
}

std::string drivesOfDisk(const MediaReader& disk, const DiskLetters& physical,
                         const std::vector<ImageArgument>& images) {
    if (disk.driveIndex < kFirstImageDiskNumber) {
        return disk.driveIndex < physical.size() ? physical[disk.driveIndex] : std::string();
    }
    const size_t index = disk.driveIndex - kFirstImageDiskNumber;
    if (index < images.size() && images[index].path == disk.devicePath)
        return images[index].mountedDrives;
    return {};
}

}  // namespace salvora

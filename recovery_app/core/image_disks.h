// Image files listed as disks by the window program (salvora.exe --image
// FILE), after the physical drives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/disk_list.h"
#include "recovery_app/core/destination_check.h"
#include "recovery_app/core/start_arguments.h"

namespace salvora {

// The disk numbers of images start after those of the physical drives (0 to 15).
constexpr uint32_t kFirstImageDiskNumber = 16;

// Opens each image read-only and lists it after the disks already in `list`,
// with the image's file name as its model and a disk number from
// kFirstImageDiskNumber on. An image that cannot be opened is left out and a
// sentence saying why is added to `failures`; one listed already is not
// listed twice.
void addImageDisks(DiskList& list, const std::vector<ImageArgument>& images,
                   std::vector<std::string>& failures);

// The drive names of the volumes on `disk`, run together ("C:D:"): for a
// physical drive its entry of `physical`, for a listed image the drives it
// was said to be mounted as.
std::string drivesOfDisk(const MediaReader& disk, const DiskLetters& physical,
                         const std::vector<ImageArgument>& images);

}  // namespace salvora

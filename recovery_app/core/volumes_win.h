// The volumes of the running system with the physical disk each lies on
// (Windows only).
#pragma once

#include <vector>

#include "recovery_app/core/destination_check.h"

namespace salvora {

// The volumes C: to Z: that open and lie on exactly one extent of one
// physical disk. Volumes that cannot be opened or asked are left out.
std::vector<VolumeOnDisk> volumesOnDisks();

// The system's own volume table (GetVolumePathNameW,
// GetVolumeNameForVolumeMountPointW and the disk extents of each volume).
const VolumeTable& systemVolumes();

}  // namespace salvora

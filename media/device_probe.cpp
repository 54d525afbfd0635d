#include "media/device_probe.h"

namespace salvora {

namespace {

uint32_t probedSectorSize(DeviceQueries& device) {
    for (uint32_t candidate : {512u, 1024u, 2048u, 4096u}) {
        if (device.readAhead(candidate))
            return candidate;
    }
    return 512;
}

uint32_t sectorSizeOf(DeviceQueries& device) {
    DriveGeometry geometry;
    // A geometry that tells 0 bytes per sector is no answer.
    if (device.driveGeometry(geometry) && geometry.bytesPerSector != 0)
        return geometry.bytesPerSector;
    return probedSectorSize(device);
}

void readGeometry(DeviceQueries& device, MediaReader& reader) {
    DriveGeometry geometry;
    uint64_t diskSize = 0;
    const bool extended = device.driveGeometryEx(geometry, diskSize) && geometry.sectorsPerTrack != 0;
    if (!extended && !device.driveGeometry(geometry))
        geometry = DriveGeometry{};
    if (geometry.sectorsPerTrack == 0 || geometry.tracksPerCylinder == 0) {
        reader.cylinders = 0;
        reader.headsPerCylinder = 1;
        reader.sectorsPerTrack = 1;
        return;
    }
    reader.cylinders = geometry.cylinders;
    reader.headsPerCylinder = geometry.tracksPerCylinder;
    reader.sectorsPerTrack = geometry.sectorsPerTrack;
}

uint64_t reportedSizeOf(DeviceQueries& device) {
    if (const uint64_t length = device.lengthInfo())
        return length;
    if (const uint64_t length = device.fileSize())
        return length;
    DriveGeometry geometry;
    uint64_t diskSize = 0;
    if (device.driveGeometryEx(geometry, diskSize) && diskSize != 0)
        return diskSize;
    return device.endPosition();
}

}  // namespace

uint64_t probeDevice(DeviceQueries& device, MediaReader& reader) {
    reader.sectorSize = sectorSizeOf(device);
    readGeometry(device, reader);
    return reportedSizeOf(device);
}

}  // namespace salvora

// Sector size, geometry and length of a physical drive, worked out from the
// answers of the drive's control queries. The Windows back end answers from
// the disk control codes; the tests answer from tables.
#pragma once

#include <cstdint>

#include "media/media_reader.h"
#include "media/storage_descriptor.h"

namespace salvora {

// One answer of a geometry query.
struct DriveGeometry {
    uint64_t cylinders = 0;
    uint32_t tracksPerCylinder = 0;
    uint32_t sectorsPerTrack = 0;
    uint32_t bytesPerSector = 0;
};

// The queries an opened drive answers. Each returns false (or 0) when the
// drive does not answer it.
class DeviceQueries {
  public:
    virtual ~DeviceQueries() = default;
    // The drive geometry query.
    virtual bool driveGeometry(DriveGeometry& geometry) = 0;
    // The extended geometry query, which also tells the disk size in bytes.
    virtual bool driveGeometryEx(DriveGeometry& geometry, uint64_t& diskSize) = 0;
    // The length query; 0 when not answered.
    virtual uint64_t lengthInfo() = 0;
    // The size of the opened file; 0 when unknown.
    virtual uint64_t fileSize() = 0;
    // Moves the position to the end and returns it; 0 on failure.
    virtual uint64_t endPosition() = 0;
    // Reads `count` bytes at the current position, which moves on; true when
    // exactly `count` bytes came back.
    virtual bool readAhead(uint32_t count) = 0;
};

// Sets reader.sectorSize (the geometry's bytes per sector; else the first of
// 512, 1024, 2048 and 4096 that reads whole; else 512) and the CHS geometry
// (extended query, then plain query; cylinders 0, one head, one sector when
// neither tells sectors per track). Returns the size the drive reports: the
// first non-zero of the length query, the file size, the extended query's
// disk size and the end position; 0 when none.
uint64_t probeDevice(DeviceQueries& device, MediaReader& reader);

}  // namespace salvora

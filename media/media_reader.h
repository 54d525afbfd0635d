// An open, read-only medium: a physical drive or a disk image.
//
// Everything that reads a medium (partition detection, the carve loop, the
// recognisers' look-ahead) goes through readAt(), which accepts any offset and
// count. A backend supplies only the raw sector-aligned device read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/sector_size.h"

namespace salvora {

struct PartitionScheme;

// Open flag bit: transfers must use buffers aligned to the sector size.
constexpr uint32_t kOpenAlignedBuffers = 0x4000;
// The flags the programs open media with; they change nothing in reading.
constexpr uint32_t kDefaultOpenFlags = 8;

class MediaReader {
  public:
    virtual ~MediaReader() = default;
    MediaReader(const MediaReader&) = delete;
    MediaReader& operator=(const MediaReader&) = delete;

    // Reads `count` bytes at the absolute byte `offset` into `buffer`.
    // Returns count on success; a smaller positive count when the medium ends
    // inside the request (the rest of buffer is zero-filled); 0 when nothing
    // was read (a read failure inside the medium also sets lastErrorText,
    // a read at or past the end does not); -1 when positioning failed.
    int32_t readAt(void* buffer, uint32_t count, uint64_t offset);

    // Releases the device handle. Idempotent; later reads return 0.
    virtual void close() = 0;

    // Length in bytes; never 0 for an open reader.
    uint64_t size = 0;
    // CHS geometry used for descriptions and by the partition layer.
    uint64_t cylinders = 0;
    uint32_t headsPerCylinder = 0;
    uint32_t sectorsPerTrack = 0;
    uint32_t openFlags = 0;
    SectorSize sectorSize;  // bytes per sector, never 0
    std::string devicePath;
    // Identity texts; empty when the device did not report them.
    std::string model;
    std::string vendor;
    std::string product;
    std::string serial;
    std::string revision;
    const PartitionScheme* partitionScheme = nullptr;
    uint32_t driveIndex = 0;
    uint32_t fixedMedia = 0;  // 1 = not removable
    uint32_t busType = 0;     // storage bus type code as the system reports it

  protected:
    MediaReader() = default;

    // Reads `count` bytes at `offset` straight from the device into `buffer`.
    // Same return contract as readAt(); a backend zero-fills what a short read
    // did not deliver and records read failures inside the medium with
    // recordReadFailure().
    virtual int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) = 0;

    // Sets lastErrorText to the read-failure message with the system's code and text.
    static void recordReadFailure(int code, const std::string& description);

    // Takes over the size, sector size, geometry, open flags, path and
    // identity of `other` (for readers that read through another one).
    void takeDescriptionOf(const MediaReader& other);

  private:
    std::vector<uint8_t> bounce_;
};

// Releases the reader's handle (the reader object itself is owned by the caller).
inline void closeMedia(MediaReader& reader) {
    reader.close();
}

// Fills size-derived geometry the way a medium without geometry queries gets it:
// cylinders = size / sectorSize, one head, one sector per track.
void setFlatGeometry(MediaReader& reader);

// Reconciles a reported size with the CHS geometry: cylinders are recomputed
// from the size when that gives a different non-zero value; a missing size is
// taken from the geometry. Cylinders 0 becomes 1.
void reconcileGeometry(MediaReader& reader, uint64_t reportedSize);

}  // namespace salvora

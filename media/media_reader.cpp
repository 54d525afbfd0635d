#include "media/media_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "media/error_text.h"

namespace salvora {

namespace {
constexpr size_t kFirstBounceCapacity = 65536;

bool isAligned(const void* buffer, uint32_t alignment) {
    return alignment != 0 && reinterpret_cast<uintptr_t>(buffer) % alignment == 0;
}
}  // namespace

int32_t MediaReader::readAt(void* buffer, uint32_t count, uint64_t offset) {
    const uint32_t sector = sectorSize;
    const uint64_t head = offset % sector;
    const uint64_t covering = (head + count + sector - 1) / sector * sector;
    const bool mustAlign = (openFlags & kOpenAlignedBuffers) != 0 && !isAligned(buffer, sector);
    if (covering == count && !mustAlign)
        return deviceRead(buffer, count, offset);

    if (covering > INT32_MAX)
        return 0;
    if (bounce_.size() < covering) {
        size_t capacity = bounce_.empty() ? kFirstBounceCapacity : bounce_.size();
        while (capacity < covering)
            capacity *= 2;
        bounce_.assign(capacity, 0);
    }
    const int32_t got = deviceRead(bounce_.data(), static_cast<uint32_t>(covering), offset - head);
    if (got <= 0)
        return got;
    std::memcpy(buffer, bounce_.data() + head, count);
    // Only the bytes that came from the medium count as read; the rest was
    // zero-filled by the device read.
    const uint64_t delivered = static_cast<uint64_t>(got) > head ? static_cast<uint64_t>(got) - head : 0;
    return static_cast<int32_t>(std::min<uint64_t>(delivered, count));
}

void MediaReader::recordReadFailure(int code, const std::string& description) {
    char text[1024];
    std::snprintf(text, sizeof text, "Error in ReadFile.\nError Code:%d\nDescription:%s", code,
                  description.c_str());
    setLastErrorText(text);
}

void MediaReader::takeDescriptionOf(const MediaReader& other) {
    size = other.size;
    cylinders = other.cylinders;
    headsPerCylinder = other.headsPerCylinder;
    sectorsPerTrack = other.sectorsPerTrack;
    openFlags = other.openFlags;
    sectorSize = other.sectorSize;
    devicePath = other.devicePath;
    model = other.model;
    vendor = other.vendor;
    product = other.product;
    serial = other.serial;
    revision = other.revision;
    partitionScheme = other.partitionScheme;
    driveIndex = other.driveIndex;
    fixedMedia = other.fixedMedia;
    busType = other.busType;
}

void setFlatGeometry(MediaReader& reader) {
    reader.headsPerCylinder = 1;
    reader.sectorsPerTrack = 1;
    reader.cylinders = reader.size / reader.sectorSize;
    if (reader.cylinders == 0)
        reader.cylinders = 1;
}

void reconcileGeometry(MediaReader& reader, uint64_t reportedSize) {
    if (reader.headsPerCylinder == 0 || reader.sectorsPerTrack == 0) {
        reader.cylinders = 0;
        reader.headsPerCylinder = 1;
        reader.sectorsPerTrack = 1;
    }
    const uint32_t sector = reader.sectorSize;
    if (reportedSize != 0) {
        const uint64_t c = reportedSize / reader.headsPerCylinder / reader.sectorsPerTrack / sector;
        if (c != 0 && c != reader.cylinders)
            reader.cylinders = c;
    } else if (reader.cylinders != 0) {
        reportedSize = reader.cylinders * reader.headsPerCylinder * reader.sectorsPerTrack * sector;
    }
    if (reader.cylinders == 0)
        reader.cylinders = 1;
    reader.size = reportedSize;
}

}  // namespace salvora

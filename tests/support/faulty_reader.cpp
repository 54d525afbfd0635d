#include "support/faulty_reader.h"

#include <cerrno>
#include <cstring>

namespace salvora::test {

int32_t FaultyReader::deviceRead(void* buffer, uint32_t count, uint64_t offset) {
    ++readCount;
    if (offset >= positionFailsFrom)
        return -1;
    const uint64_t firstSector = offset / sectorSize;
    const uint64_t lastSector = (offset + count - 1) / sectorSize;
    for (uint64_t sector : badSectors) {
        if (sector >= firstSector && sector <= lastSector) {
            std::memset(buffer, 0, count);
            recordReadFailure(EIO, std::strerror(EIO));
            return 0;
        }
    }
    if (readCount > shrinkAfterReads && offset + count > shrunkSize) {
        if (offset >= shrunkSize) {
            std::memset(buffer, 0, count);
            recordReadFailure(ENODEV, std::strerror(ENODEV));
            return 0;
        }
        const uint32_t kept = static_cast<uint32_t>(shrunkSize - offset);
        std::memset(static_cast<uint8_t*>(buffer) + kept, 0, count - kept);
        count = kept;
    }
    if (offset >= shortReadsFrom && count > sectorSize) {
        const int32_t got = MemoryReader::deviceRead(buffer, count / 2, offset);
        std::memset(static_cast<uint8_t*>(buffer) + count / 2, 0, count - count / 2);
        return got;
    }
    return MemoryReader::deviceRead(buffer, count, offset);
}

}  // namespace salvora::test

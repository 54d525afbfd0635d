#include "media/memory_reader.h"

#include <algorithm>
#include <cstring>

namespace salvora {

MemoryReader::MemoryReader(std::vector<uint8_t> bytes, uint32_t sector) : bytes_(std::move(bytes)) {
    devicePath = "memory";
    sectorSize = sector;
    size = bytes_.size();
    setFlatGeometry(*this);
}

int32_t MemoryReader::deviceRead(void* buffer, uint32_t count, uint64_t offset) {
    auto* out = static_cast<uint8_t*>(buffer);
    uint64_t got = 0;
    if (!closed_ && offset < bytes_.size()) {
        got = std::min<uint64_t>(count, bytes_.size() - offset);
        std::memcpy(out, bytes_.data() + offset, got);
    }
    std::memset(out + got, 0, count - got);
    return static_cast<int32_t>(got);
}

}  // namespace salvora

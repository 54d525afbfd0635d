#include "media/limited_reader.h"

#include <algorithm>
#include <cstring>

namespace salvora {

LimitedReader::LimitedReader(MediaReader& inner, uint64_t limit) : inner_(inner) {
    takeDescriptionOf(inner);
    size = std::min(limit, inner.size);
}

int32_t LimitedReader::deviceRead(void* buffer, uint32_t count, uint64_t offset) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    const uint64_t available = offset < size ? std::min<uint64_t>(count, size - offset) : 0;
    int32_t got = 0;
    if (available > 0) {
        got = inner_.readAt(bytes, static_cast<uint32_t>(available), offset);
        if (got < 0)
            return got;
    }
    std::memset(bytes + got, 0, count - static_cast<uint32_t>(got));
    return got;
}

}  // namespace salvora

#include "media/keep_going_reader.h"

#include <algorithm>
#include <cstring>

namespace salvora {

KeepGoingReader::KeepGoingReader(MediaReader& inner, UnreadableHandler onUnreadable)
    : inner_(inner), onUnreadable_(std::move(onUnreadable)) {
    takeDescriptionOf(inner);
    sector_.resize(sectorSize);
}

int32_t KeepGoingReader::deviceRead(void* buffer, uint32_t count, uint64_t offset) {
    if (offset >= size) {
        std::memset(buffer, 0, count);
        return 0;
    }
    const uint64_t available = std::min<uint64_t>(count, size - offset);
    const int32_t got = inner_.readAt(buffer, count, offset);
    if (got >= 0 && static_cast<uint64_t>(got) >= available)
        return static_cast<int32_t>(available);

    // Something inside the medium failed: keep what each sector gives.
    auto* bytes = static_cast<uint8_t*>(buffer);
    std::memset(bytes, 0, count);
    uint64_t badStart = 0;
    uint64_t badLength = 0;
    for (uint64_t done = 0; done < available; done += sectorSize) {
        const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(sectorSize, available - done));
        const int32_t part = inner_.readAt(sector_.data(), piece, offset + done);
        if (part == static_cast<int32_t>(piece)) {
            std::memcpy(bytes + done, sector_.data(), piece);
            if (badLength)
                noteUnreadable(badStart, badLength);
            badLength = 0;
            continue;
        }
        if (!badLength)
            badStart = offset + done;
        badLength += piece;
    }
    if (badLength)
        noteUnreadable(badStart, badLength);
    return static_cast<int32_t>(available);
}

void KeepGoingReader::noteUnreadable(uint64_t offset, uint64_t length) {
    uint64_t start = offset;
    const uint64_t end = offset + length;
    // Report the parts not known yet, then merge the range into the set.
    auto at = unreadable_.upper_bound(start);
    if (at != unreadable_.begin() && std::prev(at)->second >= start)
        --at;
    uint64_t cursor = start;
    for (auto it = at; it != unreadable_.end() && it->first <= end; ++it) {
        if (it->first > cursor && onUnreadable_)
            onUnreadable_({cursor, it->first - cursor});
        cursor = std::max(cursor, it->second);
    }
    if (cursor < end && onUnreadable_)
        onUnreadable_({cursor, end - cursor});
    uint64_t mergedEnd = end;
    while (at != unreadable_.end() && at->first <= end) {
        start = std::min(start, at->first);
        mergedEnd = std::max(mergedEnd, at->second);
        at = unreadable_.erase(at);
    }
    unreadable_[start] = mergedEnd;
}

std::vector<UnreadableRange> KeepGoingReader::unreadable() const {
    std::vector<UnreadableRange> ranges;
    for (const auto& [start, end] : unreadable_)
        ranges.push_back({start, end - start});
    return ranges;
}

uint64_t KeepGoingReader::unreadableBytes() const {
    uint64_t total = 0;
    for (const auto& [start, end] : unreadable_)
        total += end - start;
    return total;
}

}  // namespace salvora

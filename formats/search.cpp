#include "formats/search.h"

#include <cstring>

#include "media/bytes.h"

namespace salvora {

std::optional<size_t> findBytes(const uint8_t* data, size_t length, const void* pattern,
                                size_t patternLength) {
    if (patternLength == 0)
        return 0;
    if (length < patternLength)
        return std::nullopt;
    const auto* first = static_cast<const uint8_t*>(pattern);
    const size_t last = length - patternLength;
    for (size_t i = 0; i <= last; ++i) {
        const void* hit = std::memchr(data + i, first[0], last - i + 1);
        if (!hit)
            return std::nullopt;
        i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
        if (std::memcmp(data + i, pattern, patternLength) == 0)
            return i;
    }
    return std::nullopt;
}

size_t offsetPastMatch(const uint8_t* data, size_t limit, const void* pattern, size_t patternLength) {
    if (limit == 0)
        return 0;
    const std::optional<size_t> at = findBytes(data, limit - 1 + patternLength, pattern, patternLength);
    return at ? *at + patternLength : 0;
}

namespace {

struct IfdScan {
    std::optional<uint64_t> value;  // the wanted tag's value
    std::optional<uint64_t> exif;   // the last Exif IFD pointer seen
    std::optional<uint64_t> next;   // the u32 after the last entry read, when inside
};

IfdScan scanIfd(const Bytes& block, uint64_t at, uint16_t tag, bool bigEndian) {
    IfdScan scan;
    if (!block.has(at, 2))
        return scan;
    const uint16_t count = block.u16(at, bigEndian);
    uint64_t entry = at + 2;
    for (uint16_t i = 0; i < count && block.has(entry, 12); ++i, entry += 12) {
        const uint16_t entryTag = block.u16(entry, bigEndian);
        const uint32_t value = block.u32(entry + 8, bigEndian);
        if (entryTag == tag) {
            scan.value = value;
            return scan;
        }
        if (entryTag == 34665)
            scan.exif = value;
    }
    if (block.has(entry, 4))
        scan.next = block.u32(entry, bigEndian);
    return scan;
}

}  // namespace

std::optional<uint64_t> findTiffTag(const uint8_t* data, size_t blockLength, uint16_t tag) {
    const Bytes block(data, blockLength);
    if (blockLength < 8)
        return std::nullopt;
    bool bigEndian;
    if (block.equals(0, "MM\x00\x2a", 4)) {
        bigEndian = true;
    } else if (block.equals(0, "II\x2a\x00", 4)) {
        bigEndian = false;
    } else {
        return std::nullopt;
    }
    const uint64_t first = block.u32(4, bigEndian);
    if (first + 12 > blockLength)
        return std::nullopt;
    const IfdScan ifd0 = scanIfd(block, first, tag, bigEndian);
    if (ifd0.value)
        return ifd0.value;
    if (ifd0.exif) {
        const IfdScan exif = scanIfd(block, *ifd0.exif, tag, bigEndian);
        if (exif.value)
            return exif.value;
    }
    if (!ifd0.next || *ifd0.next == 0)
        return std::nullopt;
    return scanIfd(block, *ifd0.next, tag, bigEndian).value;
}

}  // namespace salvora

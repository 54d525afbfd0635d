// Byte searches and the TIFF tag lookup that several recognisers share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace salvora {

// Position of the first occurrence of `pattern` in data[0, length), or none.
// A zero-length pattern is found at 0; data shorter than the pattern holds none.
std::optional<size_t> findBytes(const uint8_t* data, size_t length, const void* pattern,
                                size_t patternLength);

// For the first i in [0, limit) at which `pattern` occurs in data, i +
// patternLength; 0 when there is none. Reads up to limit - 1 + patternLength
// bytes, which the caller guarantees.
size_t offsetPastMatch(const uint8_t* data, size_t limit, const void* pattern, size_t patternLength);

// Looks up `tag` in a TIFF block (which starts with a TIFF header): in IFD 0,
// then in the Exif IFD it points to, then in the IFD that follows IFD 0.
// Returns the tag's value (for pointer tags, the offset from the block start
// of what it points at), or none. The value is not checked against the block.
std::optional<uint64_t> findTiffTag(const uint8_t* block, size_t blockLength, uint16_t tag);

}  // namespace salvora

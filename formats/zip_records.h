// Record signatures of ZIP archives and the rules that the recogniser, its
// block check and its end-check walk share.
#pragma once

#include <cstdint>

namespace salvora {

// Record signatures, read as little-endian 32-bit values.
constexpr uint32_t kLocalFileHeader = 0x04034B50;
constexpr uint32_t kCentralDirectoryHeader = 0x02014B50;
constexpr uint32_t kEndOfCentralDirectory = 0x06054B50;
constexpr uint32_t kDigitalSignature = 0x05054B50;
constexpr uint32_t kZip64EndOfCentralDirectory = 0x06064B50;
constexpr uint32_t kZip64EndLocator = 0x07064B50;
constexpr uint32_t kDataDescriptor = 0x08074B50;

// True when a member's data is followed by a data descriptor that has to be
// searched for: general-purpose flag bit 3 with the deflate or deflate64
// method, whose data length the local header does not give.
constexpr bool hasSearchedDescriptor(uint16_t flags, uint16_t method) {
    return (flags & 0x0008) != 0 && (method == 8 || method == 9);
}

}  // namespace salvora

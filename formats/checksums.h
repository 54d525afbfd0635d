// The checksums that the newer file formats put on their structures.
#pragma once

#include <cstddef>
#include <cstdint>

namespace salvora {

// CRC-32 of zlib, PNG, 7z and RAR (reflected polynomial 0xEDB88320). Pass
// the previous result as `crc` to continue over more bytes; start with 0.
uint32_t crc32(uint32_t crc, const uint8_t* data, size_t length);

// CRC-32 of Ogg pages: polynomial 0x04C11DB7, not reflected, initial value 0,
// no final inversion. Continues from `crc` like crc32.
uint32_t oggCrc(uint32_t crc, const uint8_t* data, size_t length);

// CRC-8 of FLAC frame headers: polynomial 0x07, initial value 0.
uint8_t flacCrc8(const uint8_t* data, size_t length);

// CRC-16 of FLAC frames: polynomial 0x8005, not reflected, initial value 0.
// Continues from `crc`.
uint16_t flacCrc16(uint16_t crc, const uint8_t* data, size_t length);

}  // namespace salvora

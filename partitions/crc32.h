// CRC-32 as GPT headers and entry arrays carry it (the ISO-HDLC CRC of
// ISO 3309 and ITU-T V.42: reflected polynomial EDB88320, initial value and
// final XOR FFFFFFFF).
#pragma once

#include <cstddef>
#include <cstdint>

namespace salvora {

// The CRC-32 of `length` bytes at `data`; 0 for no bytes.
uint32_t crc32Of(const uint8_t* data, size_t length);

// Continues a CRC-32 over more bytes: crc32Update(crc32Of(a), b) equals the
// CRC of a followed by b. Start with 0.
uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t length);

}  // namespace salvora

#include "formats/checksums.h"

#include <array>

namespace salvora {

namespace {

std::array<uint32_t, 256> reflectedTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

std::array<uint32_t, 256> oggTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n << 24;
        for (int k = 0; k < 8; ++k)
            c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        table[n] = c;
    }
    return table;
}

std::array<uint16_t, 256> flac16Table() {
    std::array<uint16_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n << 8;
        for (int k = 0; k < 8; ++k)
            c = (c & 0x8000u) ? (c << 1) ^ 0x8005u : c << 1;
        table[n] = static_cast<uint16_t>(c);
    }
    return table;
}

}  // namespace

uint32_t crc32(uint32_t crc, const uint8_t* data, size_t length) {
    static const std::array<uint32_t, 256> table = reflectedTable();
    crc = ~crc;
    for (size_t i = 0; i < length; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t oggCrc(uint32_t crc, const uint8_t* data, size_t length) {
    static const std::array<uint32_t, 256> table = oggTable();
    for (size_t i = 0; i < length; ++i)
        crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}

uint8_t flacCrc8(const uint8_t* data, size_t length) {
    uint8_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

uint16_t flacCrc16(uint16_t crc, const uint8_t* data, size_t length) {
    static const std::array<uint16_t, 256> table = flac16Table();
    for (size_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ table[((crc >> 8) ^ data[i]) & 0xFF]);
    return crc;
}

}  // namespace salvora

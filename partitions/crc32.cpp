#include "partitions/crc32.h"

#include <array>

namespace salvora {

namespace {

constexpr uint32_t kReflectedPolynomial = 0xEDB88320;

constexpr std::array<uint32_t, 256> makeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        uint32_t value = byte;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ kReflectedPolynomial : value >> 1;
        table[byte] = value;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = makeTable();

}  // namespace

uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t length) {
    uint32_t value = ~crc;
    for (size_t i = 0; i < length; ++i)
        value = kTable[(value ^ data[i]) & 0xFF] ^ (value >> 8);
    return ~value;
}

uint32_t crc32Of(const uint8_t* data, size_t length) {
    return crc32Update(0, data, length);
}

}  // namespace salvora

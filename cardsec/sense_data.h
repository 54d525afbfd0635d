// The sense data a device returns with CHECK CONDITION.
#pragma once

#include <cstddef>
#include <cstdint>

namespace salvora::cardsec {

struct SenseData {
    uint8_t senseKey = 0;  // 0 when the bytes hold no sense data
    uint8_t asc = 0;       // additional sense code
};

// Decodes fixed-format (response code 0x70/0x71: key in byte 2, code in byte
// 12) and descriptor-format (0x72/0x73: key in byte 1, code in byte 2) sense
// data of which `length` bytes are valid. Anything else gives key 0.
SenseData decodeSense(const uint8_t* sense, size_t length);

}  // namespace salvora::cardsec

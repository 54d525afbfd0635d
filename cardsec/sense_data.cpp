#include "cardsec/sense_data.h"

#include "media/bytes.h"

namespace salvora::cardsec {

SenseData decodeSense(const uint8_t* sense, size_t length) {
    const Bytes bytes(sense, sense ? length : 0);
    const uint8_t responseCode = bytes.u8(0) & 0x7F;
    SenseData decoded;
    if ((responseCode == 0x70 || responseCode == 0x71) && bytes.has(0, 13)) {
        decoded.senseKey = bytes.u8(2) & 0x0F;
        decoded.asc = bytes.u8(12);
    } else if ((responseCode == 0x72 || responseCode == 0x73) && bytes.has(0, 3)) {
        decoded.senseKey = bytes.u8(1) & 0x0F;
        decoded.asc = bytes.u8(2);
    }
    return decoded;
}

}  // namespace salvora::cardsec

// The pass-through request as the driver expects it, written out field by
// field with the offsets worked out from the SCSI_PASS_THROUGH definition
// (USHORT Length; UCHAR ScsiStatus, PathId, TargetId, Lun, CdbLength,
// SenseInfoLength, DataIn; ULONG DataTransferLength, TimeOutValue; ULONG_PTR
// DataBufferOffset; ULONG SenseInfoOffset; UCHAR Cdb[16]) and natural
// alignment, then a 4-byte filler, 32 bytes of sense and 512 of data.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "cardsec/types.h"

namespace salvora::test {

struct ExpectedLayout {
    size_t dataBufferOffsetAt;
    size_t dataBufferOffsetSize;
    size_t senseInfoOffsetAt;
    size_t cdbAt;
    size_t header;
    size_t sense;
    size_t data;
};

// 32-bit: DataBufferOffset is a 4-byte ULONG_PTR at 20; the header is 44 bytes.
constexpr ExpectedLayout kExpected32{20, 4, 24, 28, 44, 48, 80};
// 64-bit: the 8-byte ULONG_PTR is aligned to 24 (4 bytes of padding after
// TimeOutValue at 16), SenseInfoOffset follows at 32, Cdb at 36 up to 52,
// and the structure is rounded up to 56.
constexpr ExpectedLayout kExpected64{24, 8, 32, 36, 56, 60, 92};

inline std::vector<uint8_t> expectedRequest(const ExpectedLayout& layout, const cardsec::Cdb& cdb,
                                            uint8_t direction, bool withData, const cardsec::DataBlock* out) {
    std::vector<uint8_t> bytes(layout.data + 512, 0);
    bytes[0] = static_cast<uint8_t>(layout.header);  // Length, little-endian
    bytes[6] = 16;                                   // CdbLength
    bytes[7] = 32;                                   // SenseInfoLength
    bytes[8] = direction;                            // DataIn
    if (withData)
        bytes[13] = 0x02;  // DataTransferLength 512 = 0x0200
    bytes[16] = 0x2C;      // TimeOutValue 300 = 0x012C
    bytes[17] = 0x01;
    bytes[layout.dataBufferOffsetAt] = static_cast<uint8_t>(layout.data);
    bytes[layout.senseInfoOffsetAt] = static_cast<uint8_t>(layout.sense);
    std::copy(cdb.begin(), cdb.end(), bytes.begin() + static_cast<long>(layout.cdbAt));
    if (out)
        std::copy(out->begin(), out->end(), bytes.begin() + static_cast<long>(layout.data));
    return bytes;
}

}  // namespace salvora::test

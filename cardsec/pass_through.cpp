#include "cardsec/pass_through.h"

#include <algorithm>

namespace salvora::cardsec {

namespace {

void putLe16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void putLe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool wellFormed(Direction direction, const uint8_t* data) {
    switch (direction) {
        case Direction::kDataOut:
        case Direction::kDataIn:
            return data != nullptr;
        case Direction::kNoData:
            return data == nullptr;
    }
    return false;
}

}  // namespace

PassThroughRequest buildPassThroughRequest(const Cdb& cdb, Direction direction, const uint8_t* data) {
    PassThroughRequest request;
    uint8_t* bytes = request.bytes.data();
    const uint32_t transferLength = data ? kDataBlockSize : 0;
    putLe16(bytes + 0, kPassThroughHeaderSize);  // Length
    bytes[6] = kCdbSize;                         // CdbLength
    bytes[7] = kSenseSize;                       // SenseInfoLength
    bytes[8] = static_cast<uint8_t>(direction);  // DataIn
    putLe32(bytes + 12, transferLength);         // DataTransferLength
    putLe32(bytes + 16, kPassThroughTimeoutSeconds);
    putLe32(bytes + 20, kDataOffset);   // DataBufferOffset
    putLe32(bytes + 24, kSenseOffset);  // SenseInfoOffset
    std::copy(cdb.begin(), cdb.end(), bytes + 28);
    if (direction == Direction::kDataOut && data)
        std::copy(data, data + kDataBlockSize, bytes + kDataOffset);
    request.inputLength =
        direction == Direction::kDataOut ? kDataOffset + transferLength : kPassThroughHeaderSize;
    request.outputLength = kDataOffset + transferLength;
    return request;
}

uint8_t requestScsiStatus(const PassThroughRequest& request) {
    return request.bytes[2];
}

PassThroughResult SendPassThrough(ReaderTransport& transport, SlotHandle handle, uint8_t* data,
                                  const Cdb& cdb, Direction direction) {
    PassThroughResult result;
    if (direction == Direction::kDataIn && data)
        std::fill(data, data + kDataBlockSize, 0);
    if (handle == kInvalidSlot || !wellFormed(direction, data))
        return result;
    const TransportResult sent = transport.execute(handle, cdb, direction, data);
    result.delivered = sent.delivered;
    result.scsiStatus = sent.delivered ? sent.scsiStatus : 0;
    if (direction == Direction::kDataIn && !sent.delivered)
        std::fill(data, data + kDataBlockSize, 0);
    result.value = direction == Direction::kNoData ? result.scsiStatus : (sent.delivered ? 1 : 0);
    return result;
}

int ProbeCardPresence(ReaderTransport& transport, SlotHandle handle) {
    const Cdb testUnitReady{};
    const PassThroughResult result =
        SendPassThrough(transport, handle, nullptr, testUnitReady, Direction::kNoData);
    return result.delivered ? result.value : -1;
}

}  // namespace salvora::cardsec

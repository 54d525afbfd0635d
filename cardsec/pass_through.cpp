#include "cardsec/pass_through.h"

#include <algorithm>

#include "cardsec/sense_data.h"

namespace salvora::cardsec {

namespace {

void putLe(uint8_t* at, uint64_t value, size_t size) {
    for (size_t i = 0; i < size; ++i)
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

PassThroughRequest buildPassThroughRequest(const PassThroughLayout& layout, const Cdb& cdb,
                                           Direction direction, const uint8_t* data) {
    PassThroughRequest request;
    request.bytes.assign(layout.requestSize(), 0);
    uint8_t* bytes = request.bytes.data();
    const uint32_t transferLength = data ? kDataBlockSize : 0;
    putLe(bytes + layout.length, layout.headerSize, 2);
    bytes[layout.cdbLength] = kCdbSize;
    bytes[layout.senseInfoLength] = kSenseSize;
    bytes[layout.dataIn] = static_cast<uint8_t>(direction);
    putLe(bytes + layout.dataTransferLength, transferLength, 4);
    putLe(bytes + layout.timeOutValue, kPassThroughTimeoutSeconds, 4);
    putLe(bytes + layout.dataBufferOffset, layout.dataBuffer, layout.dataBufferOffsetSize);
    putLe(bytes + layout.senseInfoOffset, layout.senseBuffer, 4);
    std::copy(cdb.begin(), cdb.end(), bytes + layout.cdb);
    if (direction == Direction::kDataOut && data)
        std::copy(data, data + kDataBlockSize, bytes + layout.dataBuffer);
    const size_t inputLength =
        direction == Direction::kDataOut ? layout.dataBuffer + transferLength : layout.headerSize;
    request.inputLength = static_cast<uint32_t>(inputLength);
    request.outputLength = static_cast<uint32_t>(layout.dataBuffer + transferLength);
    return request;
}

TransportResult requestAnswer(const PassThroughLayout& layout, const PassThroughRequest& request) {
    TransportResult answer;
    answer.delivered = true;
    answer.scsiStatus = request.bytes[layout.scsiStatus];
    if (answer.scsiStatus == kScsiCheckCondition) {
        const size_t length = std::min<size_t>(request.bytes[layout.senseInfoLength], kSenseSize);
        const SenseData sense = decodeSense(request.bytes.data() + layout.senseBuffer, length);
        answer.senseKey = sense.senseKey;
        answer.asc = sense.asc;
    }
    return answer;
}

bool isUnitAttention(const TransportResult& result) {
    return result.delivered && result.scsiStatus == kScsiCheckCondition &&
           result.senseKey == kSenseUnitAttention;
}

PassThroughResult SendPassThrough(ReaderTransport& transport, SlotHandle handle, uint8_t* data,
                                  const Cdb& cdb, Direction direction) {
    PassThroughResult result;
    if (direction == Direction::kDataIn && data)
        std::fill(data, data + kDataBlockSize, 0);
    if (handle == kInvalidSlot || !wellFormed(direction, data))
        return result;
    TransportResult sent = transport.execute(handle, cdb, direction, data);
    if (isUnitAttention(sent)) {
        result.mediumChanged = true;
        if (direction == Direction::kDataIn) {
            std::fill(data, data + kDataBlockSize, 0);
            sent = transport.execute(handle, cdb, direction, data);
        }
    }
    result.delivered = sent.delivered;
    result.scsiStatus = sent.delivered ? sent.scsiStatus : 0;
    if (direction == Direction::kDataIn && !result.answered())
        std::fill(data, data + kDataBlockSize, 0);
    result.value = direction == Direction::kNoData ? result.scsiStatus : (sent.delivered ? 1 : 0);
    return result;
}

CardPresence ProbeCardPresence(ReaderTransport& transport, SlotHandle handle) {
    const Cdb testUnitReady{};
    if (handle == kInvalidSlot)
        return CardPresence::kUnknown;
    TransportResult answer = transport.execute(handle, testUnitReady, Direction::kNoData, nullptr);
    const bool changed = isUnitAttention(answer);
    if (changed)
        answer = transport.execute(handle, testUnitReady, Direction::kNoData, nullptr);
    if (!answer.delivered)
        return CardPresence::kUnknown;
    if (answer.scsiStatus == kScsiGood)
        return changed ? CardPresence::kChanged : CardPresence::kPresent;
    if (answer.scsiStatus == kScsiCheckCondition)
        return CardPresence::kAbsent;
    return CardPresence::kUnknown;
}

}  // namespace salvora::cardsec

// The pass-through request every card command travels in, and the single
// transport operation built on it.
#pragma once

#include <cstdint>
#include <vector>

#include "cardsec/transport.h"
#include "cardsec/types.h"

namespace salvora::cardsec {

// Where the fields of a SCSI_PASS_THROUGH request lie. The structure's
// DataBufferOffset is pointer-sized, so its header is 44 bytes in a 32-bit
// process and 56 bytes in a 64-bit one, and every field from DataBufferOffset
// on moves. Behind the header come a 4-byte filler, the 32-byte sense buffer
// and the 512-byte data buffer.
struct PassThroughLayout {
    size_t length;              // USHORT Length
    size_t scsiStatus;          // UCHAR ScsiStatus
    size_t pathId;              // UCHAR PathId
    size_t targetId;            // UCHAR TargetId
    size_t lun;                 // UCHAR Lun
    size_t cdbLength;           // UCHAR CdbLength
    size_t senseInfoLength;     // UCHAR SenseInfoLength
    size_t dataIn;              // UCHAR DataIn
    size_t dataTransferLength;  // ULONG DataTransferLength
    size_t timeOutValue;        // ULONG TimeOutValue
    size_t dataBufferOffset;    // ULONG_PTR DataBufferOffset
    size_t dataBufferOffsetSize;
    size_t senseInfoOffset;  // ULONG SenseInfoOffset
    size_t cdb;              // UCHAR Cdb[16]
    size_t headerSize;       // sizeof(SCSI_PASS_THROUGH), also the Length value
    size_t senseBuffer;      // the sense buffer in the request
    size_t dataBuffer;       // the data buffer in the request

    size_t requestSize() const { return dataBuffer + kDataBlockSize; }
};

// The structure as a 32-bit process lays it out (4-byte DataBufferOffset).
inline constexpr PassThroughLayout kPassThrough32{
    .length = 0,
    .scsiStatus = 2,
    .pathId = 3,
    .targetId = 4,
    .lun = 5,
    .cdbLength = 6,
    .senseInfoLength = 7,
    .dataIn = 8,
    .dataTransferLength = 12,
    .timeOutValue = 16,
    .dataBufferOffset = 20,
    .dataBufferOffsetSize = 4,
    .senseInfoOffset = 24,
    .cdb = 28,
    .headerSize = 44,
    .senseBuffer = 48,
    .dataBuffer = 80,
};

// The structure as a 64-bit process lays it out: DataBufferOffset is 8 bytes
// on an 8-byte boundary, so 4 bytes of padding follow TimeOutValue, and the
// whole is rounded up to a multiple of 8.
inline constexpr PassThroughLayout kPassThrough64{
    .length = 0,
    .scsiStatus = 2,
    .pathId = 3,
    .targetId = 4,
    .lun = 5,
    .cdbLength = 6,
    .senseInfoLength = 7,
    .dataIn = 8,
    .dataTransferLength = 12,
    .timeOutValue = 16,
    .dataBufferOffset = 24,
    .dataBufferOffsetSize = 8,
    .senseInfoOffset = 32,
    .cdb = 36,
    .headerSize = 56,
    .senseBuffer = 60,
    .dataBuffer = 92,
};

constexpr size_t kSenseSize = 32;
constexpr uint32_t kPassThroughTimeoutSeconds = 300;
constexpr uint32_t kIoctlScsiPassThrough = 0x4D004;

struct PassThroughRequest {
    std::vector<uint8_t> bytes;  // layout.requestSize() bytes
    uint32_t inputLength = 0;    // bytes handed to the driver
    uint32_t outputLength = 0;   // bytes the driver may write back
};

// Builds the request in `layout`: zero-filled, the header as the driver
// expects it, the command block copied unchanged, and for kDataOut the 512
// bytes of `data` in the data buffer. DataTransferLength is 512 when `data`
// is given, else 0. The input length is the data buffer's offset plus the
// transfer length for kDataOut and the header size otherwise; the output
// length is the data buffer's offset plus the transfer length.
PassThroughRequest buildPassThroughRequest(const PassThroughLayout& layout, const Cdb& cdb,
                                           Direction direction, const uint8_t* data);

// What the driver wrote back into a request: the SCSI status byte and, with
// CHECK CONDITION, the decoded sense data.
TransportResult requestAnswer(const PassThroughLayout& layout, const PassThroughRequest& request);

// What SendPassThrough reports: the platform outcome, and the classic integer
// result (the call's success for data directions, the SCSI status byte for
// no-data commands, which is 0 even when the call itself failed).
struct PassThroughResult {
    bool delivered = false;
    uint8_t scsiStatus = 0;
    int value = 0;
    // The slot reported a unit attention: its card was inserted or changed
    // since the last command. A data-in command was then sent once more.
    bool mediumChanged = false;

    // True when the device took the command and answered GOOD: only then does
    // a data-in block carry an answer, and only then was a command carried out.
    bool answered() const { return delivered && scsiStatus == kScsiGood; }
};

// True for a CHECK CONDITION whose sense is a unit attention.
bool isUnitAttention(const TransportResult& result);

// Sends one command. `data` is 512 bytes or null; kDataOut and kDataIn need
// it, kNoData must not have it (a wrong combination, or an invalid handle, is
// refused without touching the device and reported as not delivered). For
// kDataIn the caller's block holds the answer afterwards; when the call was not
// delivered it is all zero. A data-in command answered with a unit attention
// is sent once more (reading changes nothing); other commands are not.
PassThroughResult SendPassThrough(ReaderTransport& transport, SlotHandle handle, uint8_t* data,
                                  const Cdb& cdb, Direction direction);

// What a presence probe found; the numbers of the classic probe result.
enum class CardPresence : int {
    kUnknown = -1,  // the call never reached the reader, or an answer that tells neither
    kPresent = 0,   // a card is present and ready
    kAbsent = 2,    // no card
    kChanged = 3,   // a card is present, inserted or changed since the slot was last asked
};

// Card presence by TEST UNIT READY (16 zero bytes, no data). A unit attention
// is followed by a second TEST UNIT READY, which tells whether the new card
// is there (kChanged) or not (kAbsent). A call that never reached the reader
// gives kUnknown, so an unplugged reader is not taken for a present card.
CardPresence ProbeCardPresence(ReaderTransport& transport, SlotHandle handle);

}  // namespace salvora::cardsec

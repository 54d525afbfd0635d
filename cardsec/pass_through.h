// The pass-through request every card command travels in, and the single
// transport operation built on it.
#pragma once

#include <array>
#include <cstdint>

#include "cardsec/transport.h"
#include "cardsec/types.h"

namespace salvora::cardsec {

// Layout of the 592-byte SCSI_PASS_THROUGH request with its sense and data
// buffers behind the 44-byte header.
constexpr size_t kPassThroughRequestSize = 592;
constexpr size_t kPassThroughHeaderSize = 44;
constexpr size_t kSenseOffset = 48;
constexpr size_t kSenseSize = 32;
constexpr size_t kDataOffset = 80;
constexpr uint32_t kPassThroughTimeoutSeconds = 300;
constexpr uint32_t kIoctlScsiPassThrough = 0x4D004;

struct PassThroughRequest {
    std::array<uint8_t, kPassThroughRequestSize> bytes{};
    uint32_t inputLength = 0;   // bytes handed to the driver
    uint32_t outputLength = 0;  // bytes the driver may write back
};

// Builds the request: zero-filled, header as the driver expects it, the command
// block copied unchanged, and for kDataOut the 512 bytes of `data` in the data
// buffer. DataTransferLength is 512 when `data` is given, else 0. The input
// length is 592 for kDataOut and 44 otherwise; the output length is 80 plus
// the transfer length.
PassThroughRequest buildPassThroughRequest(const Cdb& cdb, Direction direction, const uint8_t* data);

// The SCSI status byte the driver wrote into a request.
uint8_t requestScsiStatus(const PassThroughRequest& request);

// What SendPassThrough reports: the platform outcome, and the classic integer
// result (the call's success for data directions, the SCSI status byte for
// no-data commands, which is 0 even when the call itself failed).
struct PassThroughResult {
    bool delivered = false;
    uint8_t scsiStatus = 0;
    int value = 0;

    // True when the device took the command and answered GOOD: only then does
    // a data-in block carry an answer.
    bool answered() const { return delivered && scsiStatus == kScsiGood; }
};

// Sends one command. `data` is 512 bytes or null; kDataOut and kDataIn need
// it, kNoData must not have it (a wrong combination, or an invalid handle, is
// refused without touching the device and reported as not delivered). For
// kDataIn the caller's block holds the answer afterwards; when the call was not
// delivered it is all zero.
PassThroughResult SendPassThrough(ReaderTransport& transport, SlotHandle handle, uint8_t* data,
                                  const Cdb& cdb, Direction direction);

// Card presence by TEST UNIT READY (16 zero bytes, no data): 0 = a card is
// present and ready, 2 = no card. A call that never reached the reader gives
// -1 (neither), so an unplugged reader is not taken for a present card.
int ProbeCardPresence(ReaderTransport& transport, SlotHandle handle);

}  // namespace salvora::cardsec

// Plain types shared by the card commands, the transports and the simulator.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace salvora::cardsec {

// A 16-byte vendor SCSI command block.
constexpr size_t kCdbSize = 16;
using Cdb = std::array<uint8_t, kCdbSize>;

// Every data phase carries exactly one 512-byte block.
constexpr size_t kDataBlockSize = 512;
using DataBlock = std::array<uint8_t, kDataBlockSize>;

// Direction of the data phase, numbered as the pass-through header stores it.
enum class Direction : uint8_t {
    kDataOut = 0,  // the host sends the data block
    kDataIn = 1,   // the device fills the data block
    kNoData = 2,   // no data phase
};

// An open slot drive. Whatever the platform uses (a file descriptor, a handle
// value, a simulator token); kInvalidSlot when not open.
using SlotHandle = int64_t;
constexpr SlotHandle kInvalidSlot = -1;

// SCSI status bytes the system tells apart.
constexpr uint8_t kScsiGood = 0x00;
constexpr uint8_t kScsiCheckCondition = 0x02;

// Sense keys and additional sense codes the system tells apart (SCSI
// primary commands): a slot without a card, and a card that was inserted or
// changed since the last command (a unit attention, reported once).
constexpr uint8_t kSenseNotReady = 0x02;
constexpr uint8_t kSenseUnitAttention = 0x06;
constexpr uint8_t kAscMediumMayHaveChanged = 0x28;
constexpr uint8_t kAscMediumNotPresent = 0x3A;

// What one pass-through call came back with.
struct TransportResult {
    bool delivered = false;  // the platform call completed; false when the device could not be reached
    uint8_t scsiStatus = 0;  // status byte returned by the device (0 when not delivered)
    uint8_t senseKey = 0;    // with CHECK CONDITION: the sense key, 0 when no sense data came
    uint8_t asc = 0;         // and the additional sense code
};

// Physical drive numbers the discovery looks at.
constexpr int kMaxDrives = 16;

}  // namespace salvora::cardsec

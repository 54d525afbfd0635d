#include "formats/m2ts.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kHdmv[] = {'H', 'D', 'M', 'V'};
const uint8_t kTshv[] = {'T', 'S', 'H', 'V'};

constexpr uint8_t kSync = 0x47;
constexpr uint64_t kUnitSize = 192;  // time code + packet
constexpr uint64_t kPacketSize = 188;
constexpr uint64_t kTimeCodeSize = 4;
constexpr uint32_t kHdmvAt = 215;
constexpr uint32_t kHdmvStreamAt = 232;
constexpr uint32_t kTshvAt = 395;

const uint8_t kSyncByte[] = {0x47};
// Packets a plain stream must show in a row, one of them its program
// association table, before it is believed.
constexpr uint64_t kPacketsToBelieve = 8;

bool isTransportStream(const CarveCandidate& current) {
    return isFamily(current, "m2ts");
}

// Whether `count` packets of `unit` bytes, each with its sync byte at
// `first` + k * unit, start the window, one of them carrying the start of a
// program association table (PID 0 with the payload unit start flag).
bool packetsWithAssociationTable(const Bytes& bytes, uint64_t first, uint64_t unit) {
    bool table = false;
    for (uint64_t k = 0; k < kPacketsToBelieve; ++k) {
        const uint64_t at = first + k * unit;
        if (!bytes.has(at, kPacketSize) || bytes.u8(at) != kSync)
            return false;
        if ((bytes.u8(at + 1) & 0x80) != 0)  // transport error indicator
            return false;
        const uint32_t pid = (uint32_t{bytes.u8(at + 1)} & 0x1F) << 8 | bytes.u8(at + 2);
        if (pid == 0 && (bytes.u8(at + 1) & 0x40) != 0)
            table = true;
    }
    return table;
}

// A block where the stream in progress has its next packet is part of it.
bool continuesCurrent(const CarveCandidate& current) {
    return isTransportStream(current) && current.expectedSize == current.size;
}

void acceptStream(CarveCandidate& fresh, const char* extension, uint64_t unit, BlockCheckFn blockCheck) {
    resetCandidate(fresh);
    fresh.extension = extension;
    fresh.minSize = unit;
    fresh.expectedSize = unit;
    fresh.blockCheck = blockCheck;
    fresh.endCheck = endCheckTruncateToExpected;
}

}  // namespace

void registerM2ts(FamilyTally& tally) {
    registerSignature(kHdmvAt, kHdmv, sizeof kHdmv, recogniseM2tsHdmv, tally);
    registerSignature(kTshvAt, kTshv, sizeof kTshv, recogniseM2tTshv, tally);
    registerSignature(0, kSyncByte, sizeof kSyncByte, recogniseTs188, tally);
    registerSignature(kTimeCodeSize, kSyncByte, sizeof kSyncByte, recogniseM2ts192, tally);
}

uint32_t recogniseTs188(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate& current,
                        CarveCandidate& fresh) {
    if (continuesCurrent(current))
        return 0;
    const Bytes bytes(window, windowLength);
    // The camcorder form is told by its mark.
    if (bytes.equals(kTshvAt, kTshv, sizeof kTshv))
        return 0;
    if (!packetsWithAssociationTable(bytes, 0, kPacketSize))
        return 0;
    acceptStream(fresh, "ts", kPacketSize, blockCheckTs188);
    return 1;
}

uint32_t recogniseM2ts192(const uint8_t* window, uint32_t windowLength, uint32_t,
                          const CarveCandidate& current, CarveCandidate& fresh) {
    if (continuesCurrent(current))
        return 0;
    const Bytes bytes(window, windowLength);
    if (bytes.equals(kHdmvAt, kHdmv, sizeof kHdmv) && bytes.equals(kHdmvStreamAt, kHdmv, sizeof kHdmv))
        return 0;
    if (!packetsWithAssociationTable(bytes, kTimeCodeSize, kUnitSize))
        return 0;
    acceptStream(fresh, "m2ts", kUnitSize, blockCheckM2ts192);
    return 1;
}

uint32_t recogniseM2tsHdmv(const uint8_t* window, uint32_t windowLength, uint32_t,
                           const CarveCandidate& current, CarveCandidate& fresh) {
    if (isTransportStream(current))
        return 0;
    const Bytes bytes(window, windowLength);
    for (uint64_t unit = 0; unit < 3; ++unit) {
        if (!bytes.has(unit * kUnitSize + kTimeCodeSize, 1))
            return 0;
        if (bytes.u8(unit * kUnitSize + kTimeCodeSize) != kSync)
            return 0;
    }
    if (!bytes.equals(kHdmvAt, kHdmv, sizeof kHdmv) || !bytes.equals(kHdmvStreamAt, kHdmv, sizeof kHdmv))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "m2ts";
    fresh.minSize = kUnitSize;
    fresh.expectedSize = kUnitSize;
    fresh.blockCheck = blockCheckM2ts192;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

uint32_t recogniseM2tTshv(const uint8_t* window, uint32_t windowLength, uint32_t,
                          const CarveCandidate& current, CarveCandidate& fresh) {
    // A marked packet exactly where the stream in progress goes on belongs to it.
    if (isTransportStream(current) && current.expectedSize == current.size)
        return 0;
    const Bytes bytes(window, windowLength);
    for (uint64_t packet = 0; packet < 3; ++packet) {
        if (!bytes.has(packet * kPacketSize, 1) || bytes.u8(packet * kPacketSize) != kSync)
            return 0;
    }
    if (!bytes.equals(kTshvAt, kTshv, sizeof kTshv))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "m2t";
    fresh.minSize = kPacketSize;
    fresh.expectedSize = kPacketSize;
    fresh.blockCheck = blockCheckTs188;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

BlockVerdict blockCheckM2ts192(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    while (walk.holds(candidate, kTimeCodeSize + 1)) {
        if (walk.bytes().u8(walk.index(candidate) + kTimeCodeSize) != kSync)
            return BlockVerdict::kFileEnds;
        candidate.expectedSize += kUnitSize;
        candidate.wholeUntil = candidate.expectedSize;
    }
    return BlockVerdict::kContinue;
}

BlockVerdict blockCheckTs188(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    while (walk.holds(candidate, 1)) {
        if (walk.bytes().u8(walk.index(candidate)) != kSync)
            return BlockVerdict::kFileEnds;
        candidate.expectedSize += kPacketSize;
        candidate.wholeUntil = candidate.expectedSize;
    }
    return BlockVerdict::kContinue;
}

}  // namespace salvora

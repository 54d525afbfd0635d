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

bool isTransportStream(const CarveCandidate& current) {
    return isFamily(current, "m2ts");
}

}  // namespace

void registerM2ts(FamilyTally& tally) {
    registerSignature(kHdmvAt, kHdmv, sizeof kHdmv, recogniseM2tsHdmv, tally);
    registerSignature(kTshvAt, kTshv, sizeof kTshv, recogniseM2tTshv, tally);
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
    }
    return BlockVerdict::kContinue;
}

BlockVerdict blockCheckTs188(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    while (walk.holds(candidate, 1)) {
        if (walk.bytes().u8(walk.index(candidate)) != kSync)
            return BlockVerdict::kFileEnds;
        candidate.expectedSize += kPacketSize;
    }
    return BlockVerdict::kContinue;
}

}  // namespace salvora

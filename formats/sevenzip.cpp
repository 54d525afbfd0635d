#include "formats/sevenzip.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/checksums.h"
#include "formats/register.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kSignature[] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr uint64_t kSignatureHeader = 32;
constexpr uint64_t kLargestArchive = 1ull << 44;
constexpr uint8_t kHeader = 0x01;
constexpr uint8_t kEncodedHeader = 0x17;

// What the walk carries from block to block.
enum Slot : size_t { kNextHeader, kNextHeaderCrc, kCrc, kAt };

}  // namespace

void registerSevenZip(FamilyTally& tally) {
    registerSignature(0, kSignature, sizeof kSignature, recogniseSevenZip, tally);
}

uint32_t recogniseSevenZip(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                           CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.has(0, kSignatureHeader) || !bytes.equals(0, kSignature, sizeof kSignature) ||
        bytes.u8(6) != 0 || bytes.u8(7) > 4)
        return 0;
    if (crc32(0, bytes.data() + 12, 20) != bytes.le32(8))
        return 0;
    const uint64_t offset = bytes.le64(12);
    const uint64_t size = bytes.le64(20);
    if (size == 0 || offset > kLargestArchive || size > kLargestArchive)
        return 0;
    resetCandidate(fresh);
    fresh.extension = "7z";
    fresh.minSize = kSignatureHeader + 1;
    fresh.expectedSize = kSignatureHeader + offset + size;
    fresh.carried[kNextHeader] = kSignatureHeader + offset;
    fresh.carried[kAt] = kSignatureHeader + offset;
    fresh.carried[kNextHeaderCrc] = bytes.le32(28);
    fresh.blockCheck = blockCheckSevenZip;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

BlockVerdict blockCheckSevenZip(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    auto& state = candidate.carried;
    if (state[kAt] == state[kNextHeader]) {
        if (!walk.holdsWhole(state[kAt], 1))
            return BlockVerdict::kContinue;
        const uint8_t first = bytes.u8(walk.index(state[kAt]));
        if (first != kHeader && first != kEncodedHeader) {
            candidate.expectedSize = 0;
            return BlockVerdict::kFileEnds;
        }
    }
    const WindowWalk::Span span = walk.span(state[kAt], candidate.expectedSize);
    state[kCrc] = crc32(static_cast<uint32_t>(state[kCrc]), bytes.data() + span.index, span.length);
    state[kAt] += span.length;
    if (state[kAt] < candidate.expectedSize)
        return BlockVerdict::kContinue;
    if (state[kCrc] != state[kNextHeaderCrc])
        candidate.expectedSize = 0;
    return BlockVerdict::kFileEnds;
}

}  // namespace salvora

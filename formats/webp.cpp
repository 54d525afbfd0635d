#include "formats/webp.h"

#include <algorithm>

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kRiff[] = {'R', 'I', 'F', 'F'};
constexpr uint64_t kFirstChunk = 12;
constexpr uint64_t kChunkHeader = 8;

// What the walk carries from block to block: the next chunk.
enum Slot : size_t { kAt };

bool isChunkName(const Bytes& bytes, size_t at) {
    for (size_t k = 0; k < 4; ++k) {
        const uint8_t c = bytes.u8(at + k);
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return bytes.has(at, 4);
}

// The first chunk's own header: a VP8 key frame with its start code and a
// picture size, a VP8L signature byte, or a 10-byte VP8X header.
bool isImageChunk(const Bytes& bytes) {
    const uint32_t size = bytes.le32(16);
    if (bytes.equalsText(12, "VP8 ")) {
        return size >= 10 && (bytes.u8(20) & 1) == 0 && bytes.u8(23) == 0x9D && bytes.u8(24) == 0x01 &&
               bytes.u8(25) == 0x2A && (bytes.le16(26) & 0x3FFF) != 0 && (bytes.le16(28) & 0x3FFF) != 0;
    }
    if (bytes.equalsText(12, "VP8L"))
        return size >= 5 && bytes.u8(20) == 0x2F;
    if (bytes.equalsText(12, "VP8X"))
        return size == 10 && (bytes.u8(20) & 0xC1) == 0;
    return false;
}

}  // namespace

void registerWebp(FamilyTally& tally) {
    registerSignature(0, kRiff, sizeof kRiff, recogniseWebp, tally);
}

uint32_t recogniseWebp(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                       CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kRiff, sizeof kRiff) || !bytes.equalsText(8, "WEBP") || !isImageChunk(bytes))
        return 0;
    const uint64_t end = uint64_t{bytes.le32(4)} + 8;
    const uint64_t firstChunkEnd = kFirstChunk + kChunkHeader + bytes.le32(16);
    if (firstChunkEnd > end)
        return 0;
    resetCandidate(fresh);
    fresh.extension = "webp";
    fresh.minSize = 26;  // RIFF header and a VP8L chunk of 5 bytes
    fresh.expectedSize = end;
    fresh.carried[kAt] = kFirstChunk;
    fresh.blockCheck = blockCheckWebp;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

BlockVerdict blockCheckWebp(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    uint64_t& at = candidate.carried[kAt];
    while (at < candidate.expectedSize) {
        if (!walk.holdsWhole(at, kChunkHeader))
            return BlockVerdict::kContinue;
        const uint64_t i = walk.index(at);
        const uint64_t size = bytes.le32(i + 4);
        if (!isChunkName(bytes, i) || at + kChunkHeader + size > candidate.expectedSize) {
            candidate.expectedSize = 0;
            return BlockVerdict::kFileEnds;
        }
        // An odd last chunk may end without its padding byte.
        at = std::min(at + kChunkHeader + size + (size & 1), candidate.expectedSize);
    }
    // The file ends once its last byte is written.
    return candidate.expectedSize <= walk.end() ? BlockVerdict::kFileEnds : BlockVerdict::kContinue;
}

}  // namespace salvora

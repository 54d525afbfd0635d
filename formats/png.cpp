#include "formats/png.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/checksums.h"
#include "formats/register.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t kLargestChunk = 0x7FFFFFFF;  // chunk lengths are below 2^31
constexpr uint64_t kAfterHeader = 8 + 25;       // signature and IHDR chunk

// What the walk carries from block to block.
enum Slot : size_t { kAt, kMode, kCrc, kDataEnd, kType };
enum Mode : uint64_t { kChunkHeader, kChunkData, kChunkCrc };

constexpr uint32_t typeCode(const char (&type)[5]) {
    return uint32_t(uint8_t(type[0])) << 24 | uint32_t(uint8_t(type[1])) << 16 |
           uint32_t(uint8_t(type[2])) << 8 | uint32_t(uint8_t(type[3]));
}

bool isLetter(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Four letters, the third one upper case (its reserved bit clear).
bool isChunkType(const Bytes& bytes, size_t at) {
    for (size_t k = 0; k < 4; ++k) {
        if (!isLetter(bytes.u8(at + k)))
            return false;
    }
    return (bytes.u8(at + 2) & 0x20) == 0;
}

// Bit depths allowed for each colour type.
bool isDepthOfColour(uint8_t depth, uint8_t colour) {
    switch (colour) {
        case 0:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case 2:
        case 4:
        case 6:
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

bool isImageHeader(const Bytes& bytes) {
    if (bytes.be32(8) != 13 || !bytes.equalsText(12, "IHDR"))
        return false;
    const uint32_t width = bytes.be32(16);
    const uint32_t height = bytes.be32(20);
    if (width == 0 || height == 0 || width > kLargestChunk || height > kLargestChunk)
        return false;
    if (!isDepthOfColour(bytes.u8(24), bytes.u8(25)))
        return false;
    if (bytes.u8(26) != 0 || bytes.u8(27) != 0 || bytes.u8(28) > 1)
        return false;
    return bytes.has(12, 21) && crc32(0, bytes.data() + 12, 17) == bytes.be32(29);
}

}  // namespace

void registerPng(FamilyTally& tally) {
    registerSignature(0, kSignature, sizeof kSignature, recognisePng, tally);
}

uint32_t recognisePng(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kSignature, sizeof kSignature) || !isImageHeader(bytes))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "png";
    fresh.minSize = 57;  // signature, IHDR, one IDAT and IEND
    fresh.expectedSize = 0;
    fresh.carried[kAt] = kAfterHeader;
    fresh.carried[kMode] = kChunkHeader;
    fresh.blockCheck = blockCheckPng;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

BlockVerdict blockCheckPng(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    auto& state = candidate.carried;
    for (;;) {
        switch (state[kMode]) {
            case kChunkHeader: {
                if (!walk.holdsWhole(state[kAt], 8))
                    return BlockVerdict::kContinue;
                const uint64_t i = walk.index(state[kAt]);
                const uint32_t length = bytes.be32(i);
                const uint32_t type = bytes.be32(i + 4);
                if (length > kLargestChunk || !isChunkType(bytes, i + 4) ||
                    (type == typeCode("IEND") && length != 0))
                    return BlockVerdict::kFileEnds;
                state[kCrc] = crc32(0, bytes.data() + i + 4, 4);
                state[kType] = type;
                state[kAt] += 8;
                state[kDataEnd] = state[kAt] + length;
                state[kMode] = kChunkData;
                break;
            }
            case kChunkData: {
                const WindowWalk::Span span = walk.span(state[kAt], state[kDataEnd]);
                state[kCrc] =
                    crc32(static_cast<uint32_t>(state[kCrc]), bytes.data() + span.index, span.length);
                state[kAt] += span.length;
                if (state[kAt] < state[kDataEnd])
                    return BlockVerdict::kContinue;
                state[kMode] = kChunkCrc;
                break;
            }
            default: {
                if (!walk.holdsWhole(state[kAt], 4))
                    return BlockVerdict::kContinue;
                if (bytes.be32(walk.index(state[kAt])) != state[kCrc])
                    return BlockVerdict::kFileEnds;
                state[kAt] += 4;
                // A picture is kept once it holds image data, up to its last whole chunk.
                if (state[kType] == typeCode("IDAT") || state[kType] == typeCode("fdAT") ||
                    candidate.expectedSize != 0)
                    candidate.expectedSize = state[kAt];
                if (state[kType] == typeCode("IEND"))
                    return BlockVerdict::kFileEnds;
                state[kMode] = kChunkHeader;
                break;
            }
        }
    }
}

}  // namespace salvora

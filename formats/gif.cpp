#include "formats/gif.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kGif87a[] = {'G', 'I', 'F', '8', '7', 'a'};
const uint8_t kGif89a[] = {'G', 'I', 'F', '8', '9', 'a'};
constexpr uint64_t kScreenEnd = 13;  // header and logical screen descriptor
constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImage = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint64_t kImageDescriptor = 10;

// What the walk carries from block to block.
enum Slot : size_t { kAt, kMode, kSawImage };
// Where the walk stands: before a block, before the LZW code size of an
// image, or before a sub-block (of an image or an extension).
enum Mode : uint64_t { kBlock, kCodeSize, kSubBlock, kImageSubBlock };

// Bytes of a colour table announced by a packed field (flag in bit 7).
uint64_t colourTableBytes(uint8_t packed) {
    return (packed & 0x80) ? 3ull << ((packed & 7) + 1) : 0;
}

bool isKnownExtension(uint8_t label) {
    return label == 0x01 || label == 0xF9 || label == 0xFE || label == 0xFF;
}

}  // namespace

void registerGif(FamilyTally& tally) {
    registerSignature(0, kGif87a, sizeof kGif87a, recogniseGif, tally);
    registerSignature(0, kGif89a, sizeof kGif89a, recogniseGif, tally);
}

uint32_t recogniseGif(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kGif87a, sizeof kGif87a) && !bytes.equals(0, kGif89a, sizeof kGif89a))
        return 0;
    if (bytes.le16(6) == 0 || bytes.le16(8) == 0)
        return 0;
    const uint64_t first = kScreenEnd + colourTableBytes(bytes.u8(10));
    const uint8_t introducer = bytes.u8(first);
    if (introducer == kExtension) {
        if (!isKnownExtension(bytes.u8(first + 1)))
            return 0;
    } else if (introducer != kImage) {
        return 0;
    }
    resetCandidate(fresh);
    fresh.extension = "gif";
    fresh.minSize = 26;  // header, screen, one 1-pixel image and the trailer
    fresh.expectedSize = 0;
    fresh.carried[kAt] = first;
    fresh.carried[kMode] = kBlock;
    fresh.blockCheck = blockCheckGif;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

BlockVerdict blockCheckGif(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    auto& state = candidate.carried;
    for (;;) {
        if (!walk.holdsWhole(state[kAt], 1))
            return BlockVerdict::kContinue;
        const uint64_t i = walk.index(state[kAt]);
        const uint8_t byte = bytes.u8(i);
        switch (state[kMode]) {
            case kBlock:
                if (byte == kTrailer) {
                    if (state[kSawImage])
                        candidate.expectedSize = state[kAt] + 1;
                    return BlockVerdict::kFileEnds;
                }
                if (byte == kExtension) {
                    if (!walk.holdsWhole(state[kAt], 2))
                        return BlockVerdict::kContinue;
                    if (!isKnownExtension(bytes.u8(i + 1)))
                        return BlockVerdict::kFileEnds;
                    state[kAt] += 2;
                    state[kMode] = kSubBlock;
                } else if (byte == kImage) {
                    if (!walk.holdsWhole(state[kAt], kImageDescriptor))
                        return BlockVerdict::kContinue;
                    if (bytes.le16(i + 5) == 0 || bytes.le16(i + 7) == 0)
                        return BlockVerdict::kFileEnds;
                    state[kAt] += kImageDescriptor + colourTableBytes(bytes.u8(i + 9));
                    state[kMode] = kCodeSize;
                } else {
                    return BlockVerdict::kFileEnds;
                }
                break;
            case kCodeSize:
                if (byte < 2 || byte > 8)
                    return BlockVerdict::kFileEnds;
                state[kAt] += 1;
                state[kMode] = kImageSubBlock;
                break;
            default:
                state[kAt] += 1 + byte;
                if (byte == 0) {
                    // The block ends with its empty sub-block.
                    if (state[kMode] == kImageSubBlock)
                        state[kSawImage] = 1;
                    if (state[kSawImage])
                        candidate.expectedSize = state[kAt];
                    state[kMode] = kBlock;
                }
                break;
        }
    }
}

}  // namespace salvora

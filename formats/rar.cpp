#include "formats/rar.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/checksums.h"
#include "formats/register.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kMarker[] = {'R', 'a', 'r', '!', 0x1A, 0x07};
constexpr uint64_t kMarker4 = 7;  // "Rar!" 1A 07 00
constexpr uint64_t kMarker5 = 8;  // "Rar!" 1A 07 01 00
constexpr uint64_t kLongestHeader5 = 2 * 1024 * 1024;
constexpr uint64_t kLongestFields5 = 4 + 3 + 4 * 10;  // CRC, size and four vints
constexpr uint64_t kLargestData = 1ull << 44;

// RAR 4 block types and flags.
constexpr uint8_t kArchive4 = 0x73;
constexpr uint8_t kFile4 = 0x74;
constexpr uint8_t kSubBlock4 = 0x7A;
constexpr uint8_t kEnd4 = 0x7B;
constexpr uint16_t kEncryptedHeaders4 = 0x0080;
constexpr uint16_t kLargeFile4 = 0x0100;
constexpr uint16_t kHasData4 = 0x8000;

// RAR 5 header types and flags.
constexpr uint64_t kMain5 = 1;
constexpr uint64_t kFile5 = 2;
constexpr uint64_t kEncryption5 = 4;
constexpr uint64_t kEnd5 = 5;
constexpr uint64_t kHasExtra5 = 0x0001;
constexpr uint64_t kHasData5 = 0x0002;

// What the walk carries from block to block.
enum Slot : size_t { kAt, kMode, kVersion, kCrc, kHeaderEnd, kBlockEnd, kHeaderCrc, kFlags };
enum Mode : uint64_t { kBlockHeader, kHeaderCrc5, kHeaderCrc4 };
// Bits of kFlags.
constexpr uint64_t kEndBlock = 1;
constexpr uint64_t kSawFile = 2;

// One block as its header describes it.
struct Block {
    bool valid = false;
    bool end = false;
    bool file = false;
    uint64_t crcFrom = 0;  // offsets from the block's start
    uint64_t headerEnd = 0;
    uint64_t blockEnd = 0;
    uint32_t crc = 0;
};

// A RAR 5 variable-length integer at p (7 bits a byte, low bits first).
bool readVint(const Bytes& bytes, size_t& p, uint64_t& value) {
    value = 0;
    for (uint32_t shift = 0; shift < 70; shift += 7) {
        if (!bytes.has(p, 1))
            return false;
        const uint8_t byte = bytes.u8(p++);
        value |= uint64_t{byte & 0x7Fu} << shift;
        if ((byte & 0x80) == 0)
            return true;
    }
    return false;
}

Block readBlock4(const Bytes& bytes, size_t i) {
    Block block;
    const uint8_t type = bytes.u8(i + 2);
    const uint16_t flags = bytes.le16(i + 3);
    const uint64_t headerSize = bytes.le16(i + 5);
    if (type < kArchive4 || type > kEnd4 || headerSize < 7)
        return block;
    uint64_t data = 0;
    if (flags & kHasData4) {
        if (headerSize < 11)
            return block;
        data = bytes.le32(i + 7);
        if ((type == kFile4 || type == kSubBlock4) && (flags & kLargeFile4)) {
            if (headerSize < 36)
                return block;
            data |= uint64_t{bytes.le32(i + 32)} << 32;
        }
    }
    if (type == kFile4 && headerSize < 32)
        return block;
    block.crcFrom = 2;
    block.headerEnd = headerSize;
    block.blockEnd = headerSize + data;
    block.crc = bytes.le16(i);
    block.end = type == kEnd4;
    block.file = type == kFile4;
    block.valid = data <= kLargestData;
    return block;
}

Block readBlock5(const Bytes& bytes, size_t i) {
    Block block;
    size_t p = i + 4;
    uint64_t headerSize = 0;
    uint64_t type = 0;
    uint64_t flags = 0;
    uint64_t extra = 0;
    uint64_t data = 0;
    if (!readVint(bytes, p, headerSize) || headerSize < 2 || headerSize > kLongestHeader5)
        return block;
    const uint64_t fieldsStart = p - i;
    if (!readVint(bytes, p, type) || !readVint(bytes, p, flags) || type < kMain5 || type > kEnd5 ||
        type == kEncryption5)
        return block;
    if ((flags & kHasExtra5) && !readVint(bytes, p, extra))
        return block;
    if ((flags & kHasData5) && !readVint(bytes, p, data))
        return block;
    if (p - i > fieldsStart + headerSize || extra > headerSize || data > kLargestData)
        return block;
    block.crcFrom = 4;
    block.headerEnd = fieldsStart + headerSize;
    block.blockEnd = block.headerEnd + data;
    block.crc = bytes.le32(i);
    block.end = type == kEnd5;
    block.file = type == kFile5;
    block.valid = true;
    return block;
}

// Bytes of the block header that must be in the window to read its fields.
uint64_t fieldsNeeded(const Bytes& bytes, size_t i, uint64_t version) {
    if (version == 5)
        return kLongestFields5;
    const uint8_t type = bytes.u8(i + 2);
    const uint16_t flags = bytes.le16(i + 3);
    if ((type == kFile4 || type == kSubBlock4) && (flags & kLargeFile4))
        return 36;
    return (flags & kHasData4) ? 11 : 7;
}

bool headerCrcMatches(const Bytes& bytes, size_t i, const Block& block, uint64_t version) {
    const uint32_t crc = crc32(0, bytes.data() + i + block.crcFrom, block.headerEnd - block.crcFrom);
    return version == 5 ? crc == block.crc : (crc & 0xFFFF) == block.crc;
}

}  // namespace

void registerRar(FamilyTally& tally) {
    registerSignature(0, kMarker, sizeof kMarker, recogniseRar, tally);
}

uint32_t recogniseRar(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kMarker, sizeof kMarker))
        return 0;
    uint64_t version = 0;
    uint64_t first = 0;
    Block block;
    if (bytes.u8(6) == 0x00) {
        version = 4;
        first = kMarker4;
        block = readBlock4(bytes, first);
        if (bytes.u8(first + 2) != kArchive4 || (bytes.le16(first + 3) & kEncryptedHeaders4))
            return 0;
    } else if (bytes.u8(6) == 0x01 && bytes.u8(7) == 0x00) {
        version = 5;
        first = kMarker5;
        block = readBlock5(bytes, first);
        size_t p = first + 4;
        uint64_t skipped = 0;
        uint64_t type = 0;
        if (!readVint(bytes, p, skipped) || !readVint(bytes, p, type) || type != kMain5)
            return 0;
    } else {
        return 0;
    }
    if (!block.valid || !bytes.has(first, block.headerEnd) || !headerCrcMatches(bytes, first, block, version))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "rar";
    fresh.minSize = first + block.headerEnd + 7;
    fresh.expectedSize = 0;
    fresh.carried[kAt] = first;
    fresh.carried[kVersion] = version;
    fresh.carried[kMode] = kBlockHeader;
    fresh.blockCheck = blockCheckRar;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

BlockVerdict blockCheckRar(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    auto& state = candidate.carried;
    for (;;) {
        if (state[kMode] == kBlockHeader) {
            if (!walk.holdsWhole(state[kAt], 7))
                return BlockVerdict::kContinue;
            const uint64_t i = walk.index(state[kAt]);
            if (!walk.holdsWhole(state[kAt], fieldsNeeded(bytes, i, state[kVersion])))
                return BlockVerdict::kContinue;
            const Block block = state[kVersion] == 5 ? readBlock5(bytes, i) : readBlock4(bytes, i);
            if (!block.valid)
                return BlockVerdict::kFileEnds;
            state[kHeaderEnd] = state[kAt] + block.headerEnd;
            state[kBlockEnd] = state[kAt] + block.blockEnd;
            state[kHeaderCrc] = block.crc;
            // Bits 2 and up keep where this block starts.
            state[kFlags] = (state[kFlags] & kSawFile) | (block.end ? kEndBlock : 0) | state[kAt] << 2;
            state[kFlags] |= block.file ? kSawFile : 0;
            state[kAt] += block.crcFrom;
            state[kCrc] = 0;
            state[kMode] = state[kVersion] == 5 ? kHeaderCrc5 : kHeaderCrc4;
        }
        const WindowWalk::Span span = walk.span(state[kAt], state[kHeaderEnd]);
        state[kCrc] = crc32(static_cast<uint32_t>(state[kCrc]), bytes.data() + span.index, span.length);
        state[kAt] += span.length;
        if (state[kAt] < state[kHeaderEnd])
            return BlockVerdict::kContinue;
        const uint64_t crc = state[kMode] == kHeaderCrc4 ? (state[kCrc] & 0xFFFF) : state[kCrc];
        if (crc != state[kHeaderCrc])
            return BlockVerdict::kFileEnds;
        // A valid header: every block before it was whole.
        if (state[kFlags] & kSawFile)
            candidate.expectedSize = state[kFlags] >> 2;
        state[kAt] = state[kBlockEnd];
        state[kMode] = kBlockHeader;
        if (state[kFlags] & kEndBlock) {
            candidate.expectedSize = state[kAt];
            return BlockVerdict::kFileEnds;
        }
    }
}

}  // namespace salvora

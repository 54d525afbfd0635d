#include "formats/ogg.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/checksums.h"
#include "formats/register.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kCapture[] = {'O', 'g', 'g', 'S'};
constexpr uint64_t kPageHeader = 27;
constexpr uint8_t kContinued = 0x01;
constexpr uint8_t kBeginning = 0x02;
constexpr uint8_t kEnd = 0x04;
constexpr uint64_t kLongestHeader = kPageHeader + 255;

// What the walk carries from block to block.
enum Slot : size_t { kAt, kMode, kCrc, kPageEnd, kPageCrc, kOpen, kPages, kEndsStream };
enum Mode : uint64_t { kHeader, kBody };

// Length of the page header (with its segment table) at i, 0 when the
// header is not all in `bytes`.
uint64_t headerLength(const Bytes& bytes, size_t i) {
    const uint64_t length = kPageHeader + bytes.u8(i + 26);
    return bytes.has(i, length) ? length : 0;
}

uint64_t bodyLength(const Bytes& bytes, size_t i) {
    uint64_t length = 0;
    for (uint32_t k = 0; k < bytes.u8(i + 26); ++k)
        length += bytes.u8(i + kPageHeader + k);
    return length;
}

bool isPageHeader(const Bytes& bytes, size_t i) {
    return bytes.equals(i, kCapture, sizeof kCapture) && bytes.u8(i + 4) == 0 && bytes.u8(i + 5) <= 7;
}

// CRC of the page header with its CRC field taken as zero.
uint32_t headerCrc(const Bytes& bytes, size_t i, uint64_t length) {
    const uint8_t zeros[4] = {0, 0, 0, 0};
    uint32_t crc = oggCrc(0, bytes.data() + i, 22);
    crc = oggCrc(crc, zeros, 4);
    return oggCrc(crc, bytes.data() + i + 26, length - 26);
}

}  // namespace

void registerOgg(FamilyTally& tally) {
    registerSignature(0, kCapture, sizeof kCapture, recogniseOgg, tally);
}

uint32_t recogniseOgg(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!isPageHeader(bytes, 0) || (bytes.u8(5) & (kBeginning | kContinued)) != kBeginning ||
        bytes.le32(18) != 0)
        return 0;
    const uint64_t header = headerLength(bytes, 0);
    const uint64_t body = bodyLength(bytes, 0);
    if (header == 0 || body == 0 || !bytes.has(0, header + body))
        return 0;
    if (oggCrc(headerCrc(bytes, 0, header), bytes.data() + header, body) != bytes.le32(22))
        return 0;
    resetCandidate(fresh);
    fresh.extension = bytes.equalsText(header, "OpusHead") ? "opus" : "ogg";
    fresh.minSize = header + body + kPageHeader + 1;
    fresh.expectedSize = 0;
    fresh.carried[kAt] = 0;
    fresh.carried[kMode] = kHeader;
    fresh.blockCheck = blockCheckOgg;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

BlockVerdict blockCheckOgg(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    auto& state = candidate.carried;
    for (;;) {
        if (state[kMode] == kHeader) {
            if (!walk.holdsWhole(state[kAt], kPageHeader))
                return BlockVerdict::kContinue;
            const uint64_t i = walk.index(state[kAt]);
            if (!isPageHeader(bytes, i))
                return BlockVerdict::kFileEnds;
            const uint8_t flags = bytes.u8(i + 5);
            // Streams begin only on the first pages, before any other page.
            if ((flags & kBeginning) && state[kPages] > state[kOpen])
                return BlockVerdict::kFileEnds;
            if (!walk.holdsWhole(state[kAt], kPageHeader + bytes.u8(i + 26)))
                return BlockVerdict::kContinue;
            const uint64_t header = headerLength(bytes, i);
            state[kCrc] = headerCrc(bytes, i, header);
            state[kPageCrc] = bytes.le32(i + 22);
            state[kPageEnd] = state[kAt] + header + bodyLength(bytes, i);
            state[kOpen] += (flags & kBeginning) ? 1 : 0;
            state[kEndsStream] = (flags & kEnd) ? 1 : 0;
            state[kAt] += header;
            state[kMode] = kBody;
        }
        const WindowWalk::Span span = walk.span(state[kAt], state[kPageEnd]);
        state[kCrc] = oggCrc(static_cast<uint32_t>(state[kCrc]), bytes.data() + span.index, span.length);
        state[kAt] += span.length;
        if (state[kAt] < state[kPageEnd])
            return BlockVerdict::kContinue;
        if (state[kCrc] != state[kPageCrc] || state[kOpen] == 0)
            return BlockVerdict::kFileEnds;
        state[kPages] += 1;
        // A stream cut after its first page is of no use.
        if (state[kPages] > 1)
            candidate.expectedSize = state[kAt];
        state[kMode] = kHeader;
        if (state[kEndsStream] && --state[kOpen] == 0)
            return BlockVerdict::kFileEnds;
    }
}

}  // namespace salvora

#include "formats/matroska.h"

#include <algorithm>

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kEbmlId[] = {0x1A, 0x45, 0xDF, 0xA3};
constexpr uint32_t kDocType = 0x4282;
constexpr uint32_t kSegment = 0x18538067;
constexpr uint32_t kCluster = 0x1F43B675;
constexpr uint32_t kVoid = 0xEC;
constexpr uint32_t kCrc32 = 0xBF;
constexpr uint64_t kLargestHeader = 4096;         // of the EBML header's body
constexpr uint64_t kLargestElement = 1ull << 48;  // beyond any real file
constexpr uint64_t kElementHeader = 12;           // a 4-byte ID and an 8-byte size

const uint32_t kTopLevel[] = {0x114D9B74, 0x1549A966, 0x1654AE6B, kCluster, 0x1C53BB6B,
                              0x1043A770, 0x1254C367, 0x1941A469, kVoid,    kCrc32};
// Children of a Cluster: Timestamp, SimpleBlock, BlockGroup, Position,
// PrevSize, EncryptedBlock, SilentTracks, Void, CRC-32.
const uint32_t kClusterChildren[] = {0xE7, 0xA3, 0xA0, 0xA7, 0xAB, 0xAF, 0x5854, kVoid, kCrc32};

// What the walk carries from block to block.
enum Slot : size_t { kAt, kSegmentEnd, kMode, kPendingEnd, kSawCluster };
enum Mode : uint64_t { kTopLevelElement, kClusterChild };

struct Element {
    bool valid = false;
    uint32_t id = 0;
    uint64_t size = 0;
    bool unknownSize = false;
    uint64_t headerLength = 0;
    uint64_t end(uint64_t at) const { return at + headerLength + size; }
};

// Leading zero bits of a vint's first byte plus one: its length (0 = none).
uint32_t vintLength(uint8_t first, uint32_t longest) {
    for (uint32_t length = 1; length <= longest; ++length) {
        if (first & (0x80 >> (length - 1)))
            return length;
    }
    return 0;
}

Element readElement(const Bytes& bytes, size_t at) {
    Element element;
    const uint32_t idLength = vintLength(bytes.u8(at), 4);
    if (idLength == 0 || !bytes.has(at, idLength))
        return element;
    for (uint32_t k = 0; k < idLength; ++k)
        element.id = element.id << 8 | bytes.u8(at + k);
    if (element.id == 0xFF)
        return element;
    const uint32_t sizeLength = vintLength(bytes.u8(at + idLength), 8);
    if (sizeLength == 0 || !bytes.has(at + idLength, sizeLength))
        return element;
    uint64_t size = bytes.u8(at + idLength) & (0xFF >> sizeLength);
    for (uint32_t k = 1; k < sizeLength; ++k)
        size = size << 8 | bytes.u8(at + idLength + k);
    element.unknownSize = size == (1ull << (7 * sizeLength)) - 1;
    element.size = element.unknownSize ? 0 : size;
    element.headerLength = idLength + sizeLength;
    element.valid = element.size < kLargestElement;
    return element;
}

template <size_t N>
bool isOneOf(uint32_t id, const uint32_t (&ids)[N]) {
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

// The extension the DocType of the EBML header body [from, to) asks for.
const char* docTypeExtension(const Bytes& bytes, uint64_t from, uint64_t to) {
    for (uint64_t at = from; at < to;) {
        const Element child = readElement(bytes, at);
        if (!child.valid || child.unknownSize || child.end(at) > to ||
            !bytes.has(at + child.headerLength, child.size))
            return nullptr;
        if (child.id == kDocType) {
            const Bytes text(bytes.data() + at + child.headerLength, child.size);
            // The text may carry zero padding after its name.
            if (text.equalsText(0, "matroska") && (child.size == 8 || text.u8(8) == 0))
                return "mkv";
            if (text.equalsText(0, "webm") && (child.size == 4 || text.u8(4) == 0))
                return "webm";
            return nullptr;
        }
        at = child.end(at);
    }
    return nullptr;
}

// Takes the element whose header stands at `at`; false when it ends the walk.
bool takeTopLevel(const Element& element, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    const uint64_t segmentEnd = state[kSegmentEnd];
    if (!element.valid || !isOneOf(element.id, kTopLevel))
        return false;
    if (element.unknownSize) {
        if (element.id != kCluster || segmentEnd != 0)
            return false;
        state[kAt] += element.headerLength;
        state[kSawCluster] = 1;
        state[kMode] = kClusterChild;
        return true;
    }
    const uint64_t end = element.end(state[kAt]);
    if (segmentEnd != 0 && end > segmentEnd)
        return false;
    if (element.id == kCluster)
        state[kSawCluster] = 1;
    if (element.id != kVoid && element.id != kCrc32)
        state[kPendingEnd] = end;
    state[kAt] = end;
    return true;
}

bool takeClusterChild(const Element& element, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    if (!element.valid || element.unknownSize || !isOneOf(element.id, kClusterChildren))
        return false;
    const uint64_t end = element.end(state[kAt]);
    if (element.id != kVoid && element.id != kCrc32)
        state[kPendingEnd] = end;
    state[kAt] = end;
    return true;
}

}  // namespace

void registerMatroska(FamilyTally& tally) {
    registerSignature(0, kEbmlId, sizeof kEbmlId, recogniseMatroska, tally);
}

uint32_t recogniseMatroska(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                           CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    const Element header = readElement(bytes, 0);
    if (!header.valid || header.unknownSize || header.id != 0x1A45DFA3 || header.size > kLargestHeader)
        return 0;
    const char* extension = docTypeExtension(bytes, header.headerLength, header.end(0));
    if (!extension)
        return 0;
    uint64_t at = header.end(0);
    Element segment = readElement(bytes, at);
    while (segment.valid && segment.id == kVoid && !segment.unknownSize && segment.end(at) < 4096) {
        at = segment.end(at);
        segment = readElement(bytes, at);
    }
    if (!segment.valid || segment.id != kSegment)
        return 0;
    const uint64_t dataStart = at + segment.headerLength;
    const Element first = readElement(bytes, dataStart);
    if (!first.valid || !isOneOf(first.id, kTopLevel))
        return 0;
    resetCandidate(fresh);
    fresh.extension = extension;
    fresh.minSize = dataStart + 16;
    fresh.expectedSize = 0;
    fresh.carried[kAt] = dataStart;
    fresh.carried[kSegmentEnd] = segment.unknownSize ? 0 : segment.end(at);
    fresh.carried[kMode] = kTopLevelElement;
    fresh.blockCheck = blockCheckMatroska;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

BlockVerdict blockCheckMatroska(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    auto& state = candidate.carried;
    for (;;) {
        if (!walk.holdsWhole(state[kAt], 0))
            return BlockVerdict::kContinue;
        // Every element before the walk's position was written whole.
        if (state[kSawCluster] && state[kPendingEnd] != 0)
            candidate.expectedSize = state[kPendingEnd];
        if (state[kSegmentEnd] != 0 && state[kAt] == state[kSegmentEnd]) {
            if (state[kSawCluster])
                candidate.expectedSize = state[kSegmentEnd];
            return BlockVerdict::kFileEnds;
        }
        if (!walk.holdsWhole(state[kAt], kElementHeader))
            return BlockVerdict::kContinue;
        const Element element = readElement(bytes, walk.index(state[kAt]));
        if (state[kMode] == kClusterChild) {
            if (element.valid && isOneOf(element.id, kTopLevel)) {
                state[kMode] = kTopLevelElement;
                continue;
            }
            if (!takeClusterChild(element, candidate))
                return BlockVerdict::kFileEnds;
        } else if (!takeTopLevel(element, candidate)) {
            return BlockVerdict::kFileEnds;
        }
    }
}

}  // namespace salvora

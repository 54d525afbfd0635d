#include "formats/mpg.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kStartCodePrefix[] = {0x00, 0x00, 0x01};

constexpr uint8_t kVisualObjectSequence = 0xB0;
constexpr uint8_t kSequenceHeader = 0xB3;
constexpr uint8_t kVisualObject = 0xB5;
constexpr uint8_t kPackHeader = 0xBA;
constexpr uint8_t kSystemHeader = 0xBB;
constexpr uint8_t kProgramEnd = 0xB9;
// The longest fixed part of a pack header (MPEG-2: 14 bytes with the
// stuffing length in its last byte).
constexpr uint64_t kPackHeaderBytes = 14;
constexpr uint64_t kMpeg1PackHeader = 12;
constexpr uint64_t kPacketHeader = 6;  // start code and a 16-bit length

// The file ends at expectedSize, the end of its last whole pack or packet.
BlockVerdict endAtExpected(CarveCandidate& candidate) {
    candidate.blockCheck = nullptr;
    candidate.endCheck = endCheckTruncateToExpected;
    return BlockVerdict::kFileEnds;
}

bool acceptsStartCode(const Bytes& bytes) {
    switch (bytes.u8(3)) {
        case kVisualObjectSequence:
        case kVisualObject:
        case kPackHeader:
            return true;
        case kSequenceHeader:  // picture width (byte 4) and the rest of the size
            return bytes.u8(4) != 0 && (bytes.u8(5) != 0 || bytes.u8(6) != 0);
        case kSystemHeader:  // byte 4 nonzero and the marker bit that opens the rate bound
            return bytes.u8(4) != 0 && (bytes.u8(6) & 0x80) != 0;
        default:
            return false;
    }
}

constexpr uint8_t kTransportSync = 0x47;
constexpr int kSyncsInARow = 16;

// True when the window starts inside a transport stream: the sync byte
// comes back every 188 bytes (192 with the 4-byte time stamps of M2TS) at
// one place of its first packet, 16 times in a row. A start code there is
// the payload of a packet, not the start of a file.
bool insideTransportStream(const Bytes& bytes) {
    for (const uint64_t packet : {uint64_t{188}, uint64_t{192}}) {
        for (uint64_t phase = 0; phase < packet; ++phase) {
            int syncs = 0;
            while (syncs < kSyncsInARow && bytes.has(phase + syncs * packet, 1) &&
                   bytes.u8(phase + syncs * packet) == kTransportSync) {
                ++syncs;
            }
            if (syncs == kSyncsInARow)
                return true;
        }
    }
    return false;
}

}  // namespace

void registerMpg(FamilyTally& tally) {
    registerSignature(0, kStartCodePrefix, sizeof kStartCodePrefix, recogniseMpg, tally);
}

uint32_t recogniseMpg(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate& current,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kStartCodePrefix, sizeof kStartCodePrefix) || !bytes.has(0, 7))
        return 0;
    // Start codes repeat inside a stream. A program stream being walked owns
    // them all; after an elementary stream only a pack header starts a file
    // (a program stream).
    if (isFamily(current, "mpg") && (current.blockCheck || bytes.u8(3) != kPackHeader))
        return 0;
    if (!acceptsStartCode(bytes))
        return 0;
    if (bytes.u8(3) != kPackHeader && bytes.u8(3) != kSystemHeader && insideTransportStream(bytes))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "mpg";
    if (bytes.u8(3) == kPackHeader)
        fresh.blockCheck = blockCheckProgramStream;
    return 1;
}

BlockVerdict blockCheckProgramStream(const uint8_t* window, uint32_t windowLength,
                                     CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    while (walk.holds(candidate, kPackHeaderBytes - 1)) {
        const uint64_t j = walk.index(candidate);
        if (!bytes.equals(j, kStartCodePrefix, sizeof kStartCodePrefix))
            return endAtExpected(candidate);
        const uint8_t code = bytes.u8(j + 3);
        if (code == kProgramEnd) {
            candidate.expectedSize += 4;
            return endAtExpected(candidate);
        }
        if (code == kPackHeader) {
            const uint8_t first = bytes.u8(j + 4);
            if ((first & 0xC0) == 0x40) {
                candidate.expectedSize += kPackHeaderBytes + (bytes.u8(j + 13) & 0x07);
            } else if ((first & 0xF0) == 0x20) {
                candidate.expectedSize += kMpeg1PackHeader;
            } else {
                return endAtExpected(candidate);
            }
        } else if (code >= kSystemHeader) {
            candidate.expectedSize += kPacketHeader + bytes.be16(j + 4);
        } else {
            return endAtExpected(candidate);
        }
        candidate.wholeUntil = candidate.expectedSize;
    }
    return BlockVerdict::kContinue;
}

}  // namespace salvora

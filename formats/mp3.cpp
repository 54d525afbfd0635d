#include "formats/mp3.h"

#include <algorithm>

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "formats/search.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kId3[] = {'I', 'D', '3'};
const uint8_t kFrameStart[] = {0xFF};

constexpr uint64_t kMinSize = 287;
constexpr uint64_t kFrameRunLimit = 2048;   // frames are counted while they start below this
constexpr uint64_t kFrameHeaderReach = 16;  // bytes a block check needs at a position
constexpr uint32_t kTagHeaderSize = 10;

// Versions (bits 4-3 of header byte 1: 0 MPEG-2.5, 1 reserved, 2 MPEG-2,
// 3 MPEG-1) and layers (bits 2-1: 0 reserved, 1 III, 2 II, 3 I).
constexpr uint8_t kReservedVersion = 1;
constexpr uint8_t kMpeg1 = 3;
constexpr uint8_t kReservedLayer = 0;
constexpr uint8_t kLayer3 = 1;
constexpr uint8_t kLayer2 = 2;

// kbit/s by bit-rate index; index 0 (free format) and 15 are not usable.
constexpr uint16_t kMpeg1Rates[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // Layer III
};
constexpr uint16_t kMpeg2Rates[3][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},  // Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layer II
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layer III
};
constexpr uint32_t kSampleRates[4][3] = {
    {11025, 12000, 8000},   // MPEG-2.5
    {0, 0, 0},              // reserved
    {22050, 24000, 16000},  // MPEG-2
    {44100, 48000, 32000},  // MPEG-1
};

// Lyrics3 tags: version 2 ends in "LYRICS200" within 4096 bytes of its start,
// version 1 in "LYRICSEND" within 5100.
constexpr uint64_t kLyrics200Reach = 4096;
constexpr uint64_t kLyricsEndReach = 5100;
constexpr uint64_t kLyricsMarkLength = 9;

// The jukebox tag.
constexpr uint64_t kJukeboxLeadIn = 256;
constexpr uint64_t kJukeboxDataHeader = 280;
constexpr uint64_t kJukeboxFooterOffsets[] = {7868, 7936, 8004, 8132};
constexpr uint64_t kJukeboxFooterSpan = 8133;

uint32_t bitRate(uint8_t version, uint8_t layer, uint8_t index) {
    if (version == kReservedVersion || layer == kReservedLayer)
        return 0;
    const uint16_t(&table)[3][16] = version == kMpeg1 ? kMpeg1Rates : kMpeg2Rates;
    return table[3 - layer][index] * 1000u;
}

// One step of the walk at a Lyrics3 tag: how far to advance, or why not.
enum class LyricsStep { kWait, kEnd, kStep };

LyricsStep stepOverLyrics(const uint8_t* window, uint64_t windowLength, uint64_t j, bool inCurrentBlock,
                          uint64_t& length) {
    const uint64_t available = windowLength - j;
    const uint64_t fullSearch = kLyricsEndReach - 1 + kLyricsMarkLength;
    // A tag in the current block is looked at again, with more bytes behind it, at the next call.
    if (available < fullSearch && inCurrentBlock)
        return LyricsStep::kWait;
    // The searches read limit - 1 + 9 bytes from j: never past the window.
    const uint64_t searchable = available - (kLyricsMarkLength - 1);
    length =
        offsetPastMatch(window + j, std::min(kLyrics200Reach, searchable), "LYRICS200", kLyricsMarkLength);
    if (length == 0) {
        length = offsetPastMatch(window + j, std::min(kLyricsEndReach, searchable), "LYRICSEND",
                                 kLyricsMarkLength);
    }
    return length == 0 ? LyricsStep::kEnd : LyricsStep::kStep;
}

bool isFrameHeader(const Bytes& bytes, uint64_t at) {
    return bytes.u8(at) == 0xFF && (bytes.u8(at + 1) & 0xE0) == 0xE0;
}

}  // namespace

void registerMp3(FamilyTally& tally) {
    registerSignature(0, kId3, sizeof kId3, recogniseId3, tally);
    registerSignature(0, kFrameStart, sizeof kFrameStart, recogniseMpegAudio, tally);
}

uint32_t mpegFrameLength(uint8_t byte1, uint8_t byte2) {
    const uint8_t version = (byte1 >> 3) & 3;
    const uint8_t layer = (byte1 >> 1) & 3;
    const uint32_t rate = bitRate(version, layer, byte2 >> 4);
    const uint32_t sampleRate = (byte2 >> 2 & 3) == 3 ? 0 : kSampleRates[version][byte2 >> 2 & 3];
    if (rate == 0 || sampleRate == 0)
        return 0;
    const uint32_t padding = (byte2 >> 1) & 1;
    if (layer == kLayer3) {
        const uint32_t factor = version == kMpeg1 ? 144 : 72;
        return factor * rate / sampleRate + padding;
    }
    if (layer == kLayer2)
        return 144 * rate / sampleRate + padding;
    return (12 * rate / sampleRate + padding) * 4;  // Layer I
}

uint32_t recogniseId3(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kId3, sizeof kId3))
        return 0;
    const uint8_t version = bytes.u8(3);
    if (version < 2 || version > 4 || bytes.u8(4) != 0)
        return 0;
    const uint64_t footer = version == 4 && (bytes.u8(5) & 0x10) ? kTagHeaderSize : 0;
    uint64_t tagSize = 0;
    for (uint32_t i = 6; i < 10; ++i)
        tagSize = tagSize << 7 | (bytes.u8(i) & 0x7F);
    resetCandidate(fresh);
    fresh.extension = "mp3";
    fresh.expectedSize = tagSize + kTagHeaderSize + footer;
    fresh.minSize = kMinSize;
    fresh.blockCheck = blockCheckId3Padding;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

uint32_t recogniseMpegAudio(const uint8_t* window, uint32_t windowLength, uint32_t,
                            const CarveCandidate& current, CarveCandidate& fresh) {
    if (isFamily(current, "mp3"))
        return 0;
    const Bytes bytes(window, windowLength);
    const uint8_t first = bytes.u8(1) & 0xFE;  // without the no-CRC bit
    if (bytes.u8(0) != 0xFF || (first != 0xFA && first != 0xF2 && first != 0xE2))
        return 0;
    uint64_t p = 0;
    uint32_t frames = 0;
    while (p + 1 < windowLength && p + 1 < kFrameRunLimit) {
        if (!isFrameHeader(bytes, p))
            return 0;
        const uint32_t length = mpegFrameLength(bytes.u8(p + 1), bytes.u8(p + 2));
        if (length == 0)
            return 0;
        p += length;
        ++frames;
    }
    if (frames < 2)
        return 0;
    resetCandidate(fresh);
    fresh.extension = "mp3";
    fresh.expectedSize = p;
    fresh.minSize = kMinSize;
    fresh.blockCheck = blockCheckMpegAudio;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

BlockVerdict blockCheckId3Padding(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    while (walk.holds(candidate, 1)) {
        if (walk.bytes().u8(walk.index(candidate)) != 0) {
            candidate.blockCheck = blockCheckMpegAudio;
            candidate.endCheck = endCheckTruncateToExpected;
            return blockCheckMpegAudio(window, windowLength, candidate);
        }
        candidate.expectedSize += 1;
    }
    return BlockVerdict::kContinue;
}

BlockVerdict blockCheckMpegAudio(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    while (walk.holds(candidate, kFrameHeaderReach)) {
        const uint64_t j = walk.index(candidate);
        if (isFrameHeader(bytes, j)) {
            const uint32_t length = mpegFrameLength(bytes.u8(j + 1), bytes.u8(j + 2));
            if (length < 3)
                return BlockVerdict::kFileEnds;
            candidate.expectedSize += length;
        } else if (bytes.equalsText(j, "LYRICSBEGIN")) {
            uint64_t length = 0;
            const LyricsStep step =
                stepOverLyrics(window, windowLength, j, WindowWalk::inCurrentBlock(candidate), length);
            if (step == LyricsStep::kWait)
                return BlockVerdict::kContinue;
            if (step == LyricsStep::kEnd)
                return BlockVerdict::kFileEnds;
            candidate.expectedSize += length;
        } else if (bytes.equalsText(j, "APETAGEX")) {
            candidate.expectedSize += uint64_t{bytes.le32(j + 12)} + 32;
        } else if (bytes.equalsText(j, "TAG")) {
            candidate.expectedSize += 128;
        } else {
            // Judged at the next call, with a whole block behind the position.
            if (candidate.expectedSize > candidate.size)
                return BlockVerdict::kContinue;
            const uint32_t length = jukeboxTagLength(window, j, windowLength);
            if (length == 0)
                return BlockVerdict::kFileEnds;
            candidate.expectedSize += length;
        }
    }
    return BlockVerdict::kContinue;
}

uint32_t jukeboxTagLength(const uint8_t* window, uint64_t position, uint64_t windowLength) {
    const Bytes bytes(window, windowLength);
    const uint64_t j = position;
    if (j > windowLength || windowLength - j < 10)
        return 0;
    uint64_t o = 0;
    if (bytes.equalsText(j, "18273645") && bytes.u8(j + 8) == 0 && bytes.u8(j + 9) == 0) {
        o = kJukeboxLeadIn;
    } else if (!bytes.equalsText(j, "    ") && !bytes.equalsText(j, "bmp ") && !bytes.equalsText(j, "jpg ")) {
        return 0;
    }
    // The image: its length, then the image itself. 64-bit sums cannot wrap.
    o += uint64_t{bytes.le32(j + o + 4)} + 8;
    if (j + o + 14 > windowLength)
        return 0;
    if (!bytes.equals(j + o,
                      "\0\0\0\0"
                      "18273645"
                      "\0\0",
                      14))
        return 0;
    o += kJukeboxDataHeader;
    if (j + o + kJukeboxFooterSpan > windowLength)
        return 0;
    for (const uint64_t offset : kJukeboxFooterOffsets) {
        // The footer texts are tested only where they lie wholly in the window.
        if (bytes.equalsText(j + o + offset, "Brava Software Inc."))
            return static_cast<uint32_t>(o + offset + 48);
        if (bytes.equalsText(j + o + offset, "TAG"))
            return static_cast<uint32_t>(o + offset + 128);
    }
    return 0;
}

}  // namespace salvora

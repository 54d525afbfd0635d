#include "formats/flac.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/checksums.h"
#include "formats/register.h"
#include "formats/verdict.h"
#include "formats/window_walk.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kMarker[] = {'f', 'L', 'a', 'C'};
constexpr uint64_t kStreamInfoEnd = 4 + 4 + 34;
constexpr uint64_t kLongestFrameHeader = 16;
constexpr uint64_t kLongestFrame = 1ull << 24;  // the largest frame size STREAMINFO can state

// What the walk carries from block to block.
enum Slot : size_t {
    kAt,            // the metadata block header or the frame being followed
    kCandidateEnd,  // first place where the frame's CRC-16 matches, 0 = none yet
    kScan,          // how far the frame has been searched
    kCrc,           // CRC-16 of the frame from kAt to kScan
    kStream,        // STREAMINFO: sample rate, channels, sample size, largest frame
    kTotal,         // total samples, 0 = not given
    kSamples,       // samples before the frame being followed
    kFrame,         // the frame being followed: block size, header length, number, mode
};
enum Mode : uint64_t { kMetadata, kFrameStart, kFrameBody };

struct Stream {
    uint32_t sampleRate = 0;
    uint32_t channels = 0;
    uint32_t sampleBits = 0;
    uint32_t largestFrame = 0;  // 0 = not given

    uint64_t pack() const {
        return uint64_t{sampleRate} | uint64_t{channels} << 20 | uint64_t{sampleBits} << 24 |
               uint64_t{largestFrame} << 32;
    }
    static Stream unpack(uint64_t word) {
        return {static_cast<uint32_t>(word & 0xFFFFF), static_cast<uint32_t>(word >> 20 & 0xF),
                static_cast<uint32_t>(word >> 24 & 0xFF), static_cast<uint32_t>(word >> 32 & 0xFFFFFF)};
    }
};

struct Frame {
    uint32_t blockSize = 0;
    uint32_t headerLength = 0;
    uint32_t number = 0;    // frame number (fixed block size) or its first sample's number's low bits
    bool variable = false;  // numbered by sample rather than by frame
    Mode mode = kMetadata;

    uint64_t pack() const {
        return uint64_t{blockSize} | uint64_t{headerLength} << 17 | uint64_t{number} << 24 |
               uint64_t{variable} << 60 | uint64_t{mode} << 61;
    }
    static Frame unpack(uint64_t word) {
        return {static_cast<uint32_t>(word & 0x1FFFF), static_cast<uint32_t>(word >> 17 & 0x7F),
                static_cast<uint32_t>(word >> 24 & 0xFFFFFFFF), (word >> 60 & 1) != 0,
                static_cast<Mode>(word >> 61 & 3)};
    }
};

struct FrameHeader {
    bool valid = false;
    bool variable = false;
    uint32_t blockSize = 0;
    uint64_t number = 0;
    uint32_t length = 0;
};

uint32_t blockSizeOfCode(uint32_t code) {
    if (code == 1)
        return 192;
    if (code >= 2 && code <= 5)
        return 576u << (code - 2);
    if (code >= 8)
        return 256u << (code - 8);
    return 0;  // 0 reserved; 6 and 7 are read from the header's end
}

bool rateAgrees(uint32_t code, const Bytes& bytes, size_t& p, uint32_t rate) {
    static const uint32_t kRates[] = {0,     88200, 176400, 192000, 8000,  16000,
                                      22050, 24000, 32000,  44100,  48000, 96000};
    if (code == 0)
        return true;
    if (code < 12)
        return kRates[code] == rate;
    if (code == 12)
        return bytes.u8(p++) * 1000u == rate;
    if (code == 13 || code == 14) {
        const uint32_t value = bytes.be16(p) * (code == 14 ? 10u : 1u);
        p += 2;
        return value == rate;
    }
    return false;
}

bool bitsAgree(uint32_t code, uint32_t sampleBits) {
    static const uint32_t kBits[] = {0, 8, 12, 0, 16, 20, 24, 32};
    return code == 0 || (code != 3 && kBits[code] == sampleBits);
}

// The UTF-8-like coded frame or sample number at p; false when malformed.
bool codedNumber(const Bytes& bytes, size_t& p, uint64_t& number) {
    const uint8_t first = bytes.u8(p++);
    uint32_t more = 0;
    while (more < 7 && (first & (0x80 >> more)))
        ++more;
    if (more == 1 || (more == 7 && first != 0xFE))
        return false;
    number = more == 0 ? first : first & (0x7F >> more);
    for (uint32_t k = 1; k < more; ++k) {
        const uint8_t next = bytes.u8(p++);
        if ((next & 0xC0) != 0x80)
            return false;
        number = number << 6 | (next & 0x3F);
    }
    return true;
}

FrameHeader readFrameHeader(const Bytes& bytes, size_t at, const Stream& stream) {
    FrameHeader header;
    if (bytes.u8(at) != 0xFF || (bytes.u8(at + 1) & 0xFE) != 0xF8 || !bytes.has(at, kLongestFrameHeader))
        return header;
    const uint32_t sizeCode = bytes.u8(at + 2) >> 4;
    const uint32_t rateCode = bytes.u8(at + 2) & 0xF;
    const uint32_t channelCode = bytes.u8(at + 3) >> 4;
    const uint32_t bitsCode = bytes.u8(at + 3) >> 1 & 7;
    if (sizeCode == 0 || rateCode == 15 || channelCode > 10 || (bytes.u8(at + 3) & 1) != 0)
        return header;
    if ((channelCode < 8 ? channelCode + 1 : 2) != stream.channels || !bitsAgree(bitsCode, stream.sampleBits))
        return header;
    size_t p = at + 4;
    if (!codedNumber(bytes, p, header.number))
        return header;
    header.blockSize = blockSizeOfCode(sizeCode);
    if (sizeCode == 6) {
        header.blockSize = bytes.u8(p++) + 1u;
    } else if (sizeCode == 7) {
        header.blockSize = bytes.be16(p) + 1u;
        p += 2;
    }
    if (!rateAgrees(rateCode, bytes, p, stream.sampleRate))
        return header;
    if (flacCrc8(bytes.data() + at, p - at) != bytes.u8(p))
        return header;
    header.variable = (bytes.u8(at + 1) & 1) != 0;
    header.length = static_cast<uint32_t>(p + 1 - at);
    header.valid = true;
    return header;
}

// True when `header` is the frame that follows the one in `frame` (or the
// first frame, when frame.blockSize is 0).
bool isNextFrame(const FrameHeader& header, const Frame& frame, uint64_t samples) {
    if (!header.valid)
        return false;
    if (frame.blockSize == 0)
        return header.number == 0;
    if (header.variable != frame.variable)
        return false;
    return header.variable ? header.number == samples + frame.blockSize
                           : header.number == uint64_t{frame.number} + 1;
}

// Starts following the frame whose header stands at state[kAt].
void startFrame(const FrameHeader& header, const Bytes& bytes, uint64_t index, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    Frame frame;
    frame.blockSize = header.blockSize;
    frame.headerLength = header.length;
    frame.number = static_cast<uint32_t>(header.number);
    frame.variable = header.variable;
    frame.mode = kFrameBody;
    state[kFrame] = frame.pack();
    state[kCrc] = flacCrc16(0, bytes.data() + index, header.length);
    state[kScan] = state[kAt] + header.length;
    state[kCandidateEnd] = 0;
}

uint32_t followMetadata(const Bytes& bytes, const WindowWalk& walk, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    while (walk.holdsAt(candidate, state[kAt], 4)) {
        const uint64_t i = walk.indexAt(candidate, state[kAt]);
        const uint8_t type = bytes.u8(i) & 0x7F;
        if (type == 0 || type > 6)
            return kFileEnds;
        state[kAt] += 4 + (uint64_t{bytes.u8(i + 1)} << 16 | bytes.be16(i + 2));
        if (bytes.u8(i) & 0x80) {
            Frame frame = Frame::unpack(state[kFrame]);
            frame.mode = kFrameStart;
            state[kFrame] = frame.pack();
            return kFileGoesOn;
        }
    }
    return kFileGoesOn;
}

uint32_t followFrameStart(const Bytes& bytes, const WindowWalk& walk, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    if (!walk.holdsAt(candidate, state[kAt], kLongestFrameHeader))
        return kFileGoesOn;
    const uint64_t i = walk.indexAt(candidate, state[kAt]);
    const FrameHeader header = readFrameHeader(bytes, i, Stream::unpack(state[kStream]));
    if (!isNextFrame(header, Frame::unpack(state[kFrame]), state[kSamples]))
        return kFileEnds;
    if (state[kTotal] != 0 && state[kSamples] + header.blockSize > state[kTotal])
        return kFileEnds;
    startFrame(header, bytes, i, candidate);
    return kFileGoesOn;
}

// Searches the frame's body for its end: the next frame's header right
// where the CRC-16 of the frame so far is 0. The last frame of the stream
// ends at the first such place.
uint32_t followFrameBody(const Bytes& bytes, const WindowWalk& walk, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    const Stream stream = Stream::unpack(state[kStream]);
    const Frame frame = Frame::unpack(state[kFrame]);
    const bool last = state[kTotal] != 0 && state[kSamples] + frame.blockSize == state[kTotal];
    const uint64_t longest = stream.largestFrame != 0 ? stream.largestFrame : kLongestFrame;
    const uint64_t shortest = state[kAt] + frame.headerLength + 2;
    uint16_t crc = static_cast<uint16_t>(state[kCrc]);
    uint64_t q = state[kScan];
    for (; walk.holdsAt(candidate, q, 1); ++q) {
        if (q - state[kAt] > longest)
            break;
        if (crc == 0 && q >= shortest) {
            if (last || state[kTotal] == 0) {
                if (state[kCandidateEnd] == 0)
                    state[kCandidateEnd] = q;
                if (last)
                    break;
            }
            const uint64_t i = walk.indexAt(candidate, q);
            if (bytes.u8(i) == 0xFF && !walk.holdsAt(candidate, q, kLongestFrameHeader)) {
                state[kCrc] = crc;
                state[kScan] = q;
                return kFileGoesOn;
            }
            if (bytes.u8(i) == 0xFF &&
                isNextFrame(readFrameHeader(bytes, i, stream), frame, state[kSamples])) {
                state[kSamples] += frame.blockSize;
                state[kAt] = q;
                candidate.expectedSize = q;
                return followFrameStart(bytes, walk, candidate);
            }
        }
        crc = flacCrc16(crc, bytes.data() + walk.indexAt(candidate, q), 1);
    }
    state[kCrc] = crc;
    state[kScan] = q;
    if (q - state[kAt] <= longest && !(last && state[kCandidateEnd] != 0))
        return kFileGoesOn;
    // No next frame: the frame ends where its CRC-16 first matched.
    if (state[kCandidateEnd] != 0)
        candidate.expectedSize = state[kCandidateEnd];
    return kFileEnds;
}

}  // namespace

void registerFlac(FamilyTally& tally) {
    registerSignature(0, kMarker, sizeof kMarker, recogniseFlac, tally);
}

uint32_t recogniseFlac(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                       CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    if (!bytes.equals(0, kMarker, sizeof kMarker) || (bytes.u8(4) & 0x7F) != 0 || bytes.u8(5) != 0 ||
        bytes.be16(6) != 34)
        return 0;
    const uint32_t smallestBlock = bytes.be16(8);
    const uint32_t largestBlock = bytes.be16(10);
    const uint32_t smallestFrame = uint32_t{bytes.u8(12)} << 16 | bytes.be16(13);
    const uint32_t largestFrame = uint32_t{bytes.u8(15)} << 16 | bytes.be16(16);
    Stream stream;
    stream.sampleRate = uint32_t{bytes.u8(18)} << 12 | uint32_t{bytes.u8(19)} << 4 | bytes.u8(20) >> 4;
    stream.channels = (bytes.u8(20) >> 1 & 7) + 1u;
    stream.sampleBits = ((bytes.u8(20) & 1u) << 4 | bytes.u8(21) >> 4) + 1u;
    stream.largestFrame = largestFrame;
    if (smallestBlock < 16 || largestBlock < smallestBlock || stream.sampleRate == 0 ||
        stream.sampleRate > 655350 || stream.sampleBits < 4 ||
        (smallestFrame != 0 && largestFrame != 0 && smallestFrame > largestFrame))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "flac";
    fresh.minSize = kStreamInfoEnd + 8;
    fresh.expectedSize = 0;
    auto& state = fresh.carried;
    state[kAt] = kStreamInfoEnd;
    state[kStream] = stream.pack();
    state[kTotal] = uint64_t{bytes.u8(21) & 0xFu} << 32 | bytes.be32(22);
    Frame frame;
    frame.mode = (bytes.u8(4) & 0x80) ? kFrameStart : kMetadata;
    state[kFrame] = frame.pack();
    fresh.blockCheck = blockCheckFlac;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

uint32_t blockCheckFlac(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const Bytes bytes(window, windowLength);
    const WindowWalk walk(windowLength);
    for (;;) {
        const Mode mode = Frame::unpack(candidate.carried[kFrame]).mode;
        const uint64_t at = candidate.carried[kAt];
        uint32_t verdict = kFileGoesOn;
        if (mode == kMetadata) {
            verdict = followMetadata(bytes, walk, candidate);
        } else if (mode == kFrameStart) {
            verdict = followFrameStart(bytes, walk, candidate);
        } else {
            verdict = followFrameBody(bytes, walk, candidate);
        }
        if (verdict == kFileEnds)
            return kFileEnds;
        // Go on while the walk moved on to another structure in this window.
        if (Frame::unpack(candidate.carried[kFrame]).mode == mode && candidate.carried[kAt] == at)
            return kFileGoesOn;
    }
}

}  // namespace salvora

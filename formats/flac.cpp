#include "formats/flac.h"

#include <algorithm>
#include <vector>

#include "carve/output_file.h"
#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/checksums.h"
#include "formats/register.h"
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
    kAt,  // the metadata block header or the frame being followed
    kUnused,
    kScan,     // how far the frame has been searched
    kCrc,      // CRC-16 of the frame from kAt to kScan
    kStream,   // STREAMINFO: sample rate, channels, sample size, largest frame
    kTotal,    // total samples, 0 = not given
    kSamples,  // samples before the frame being followed
    kFrame,    // the frame being followed: block size, header length, number, mode
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
}

BlockVerdict followMetadata(const Bytes& bytes, const WindowWalk& walk, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    while (walk.holdsWhole(state[kAt], 4)) {
        const uint64_t i = walk.index(state[kAt]);
        const uint8_t type = bytes.u8(i) & 0x7F;
        if (type == 0 || type > 6)
            return BlockVerdict::kFileEnds;
        state[kAt] += 4 + (uint64_t{bytes.u8(i + 1)} << 16 | bytes.be16(i + 2));
        if (bytes.u8(i) & 0x80) {
            Frame frame = Frame::unpack(state[kFrame]);
            frame.mode = kFrameStart;
            state[kFrame] = frame.pack();
            return BlockVerdict::kContinue;
        }
    }
    return BlockVerdict::kContinue;
}

BlockVerdict followFrameStart(const Bytes& bytes, const WindowWalk& walk, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    if (!walk.holdsWhole(state[kAt], kLongestFrameHeader))
        return BlockVerdict::kContinue;
    const uint64_t i = walk.index(state[kAt]);
    const FrameHeader header = readFrameHeader(bytes, i, Stream::unpack(state[kStream]));
    if (!isNextFrame(header, Frame::unpack(state[kFrame]), state[kSamples]))
        return BlockVerdict::kFileEnds;
    if (state[kTotal] != 0 && state[kSamples] + header.blockSize > state[kTotal])
        return BlockVerdict::kFileEnds;
    startFrame(header, bytes, i, candidate);
    return BlockVerdict::kContinue;
}

// Searches the frame's body for its end: the next frame's header right
// where the CRC-16 of the frame so far is 0. The last frame of the stream
// (by STREAMINFO's total, or because no next frame follows) is measured by
// the end check, once it is written whole.
BlockVerdict followFrameBody(const Bytes& bytes, const WindowWalk& walk, CarveCandidate& candidate) {
    auto& state = candidate.carried;
    const Stream stream = Stream::unpack(state[kStream]);
    const Frame frame = Frame::unpack(state[kFrame]);
    const uint64_t longest = stream.largestFrame != 0 ? stream.largestFrame : kLongestFrame;
    if (state[kTotal] != 0 && state[kSamples] + frame.blockSize == state[kTotal])
        return walk.end() >= state[kAt] + longest ? BlockVerdict::kFileEnds : BlockVerdict::kContinue;
    const uint64_t shortest = state[kAt] + frame.headerLength + 2;
    uint16_t crc = static_cast<uint16_t>(state[kCrc]);
    uint64_t q = state[kScan];
    for (; walk.holdsWhole(q, 1) && q - state[kAt] <= longest; ++q) {
        const uint64_t i = walk.index(q);
        if (crc == 0 && q >= shortest && bytes.u8(i) == 0xFF) {
            if (!walk.holdsWhole(q, kLongestFrameHeader))
                break;
            if (isNextFrame(readFrameHeader(bytes, i, stream), frame, state[kSamples])) {
                state[kSamples] += frame.blockSize;
                state[kAt] = q;
                candidate.expectedSize = q;
                return followFrameStart(bytes, walk, candidate);
            }
        }
        crc = flacCrc16(crc, bytes.data() + i, 1);
    }
    state[kCrc] = crc;
    state[kScan] = q;
    return q - state[kAt] <= longest ? BlockVerdict::kContinue : BlockVerdict::kFileEnds;
}

// Reads bits from the most significant bit of each byte on.
class BitReader {
  public:
    explicit BitReader(const Bytes& bytes, uint64_t fromByte) : bytes_(bytes), bit_(fromByte * 8) {}

    bool ok() const { return ok_; }
    uint64_t bytePosition() const { return (bit_ + 7) / 8; }
    uint32_t read(uint32_t count) {
        uint32_t value = 0;
        for (uint32_t k = 0; k < count; ++k)
            value = value << 1 | bit();
        return value;
    }
    void skip(uint64_t count) {
        bit_ += count;
        if (bit_ > uint64_t{bytes_.size()} * 8)
            ok_ = false;
    }
    // Zero bits up to the next one bit.
    uint32_t unary() {
        uint32_t zeros = 0;
        while (ok_ && bit() == 0)
            ++zeros;
        return zeros;
    }

  private:
    uint32_t bit() {
        if (bit_ >= uint64_t{bytes_.size()} * 8) {
            ok_ = false;
            return 1;
        }
        const uint32_t value = bytes_.u8(bit_ / 8) >> (7 - bit_ % 8) & 1;
        ++bit_;
        return value;
    }

    const Bytes& bytes_;
    uint64_t bit_;
    bool ok_ = true;
};

bool skipResidual(BitReader& bits, uint32_t blockSize, uint32_t order) {
    const uint32_t method = bits.read(2);
    if (method > 1)
        return false;
    const uint32_t parameterBits = method == 0 ? 4 : 5;
    const uint32_t escape = method == 0 ? 15 : 31;
    const uint32_t partitionOrder = bits.read(4);
    const uint32_t partitions = 1u << partitionOrder;
    if ((blockSize >> partitionOrder) < order)
        return false;
    for (uint32_t p = 0; p < partitions && bits.ok(); ++p) {
        const uint32_t samples = (blockSize >> partitionOrder) - (p == 0 ? order : 0);
        const uint32_t parameter = bits.read(parameterBits);
        if (parameter == escape) {
            bits.skip(uint64_t{samples} * bits.read(5));
            continue;
        }
        for (uint32_t k = 0; k < samples && bits.ok(); ++k) {
            bits.unary();
            bits.skip(parameter);
        }
    }
    return bits.ok();
}

bool skipSubframe(BitReader& bits, uint32_t blockSize, uint32_t sampleBits) {
    if (bits.read(1) != 0)
        return false;
    const uint32_t type = bits.read(6);
    if (bits.read(1))
        sampleBits -= std::min(sampleBits, bits.unary() + 1);
    if (type == 0) {
        bits.skip(sampleBits);
    } else if (type == 1) {
        bits.skip(uint64_t{blockSize} * sampleBits);
    } else if (type >= 8 && type <= 12) {
        bits.skip(uint64_t{type - 8} * sampleBits);
        return skipResidual(bits, blockSize, type - 8);
    } else if (type >= 32) {
        const uint32_t order = (type & 31) + 1;
        bits.skip(uint64_t{order} * sampleBits);
        const uint32_t precision = bits.read(4) + 1;
        if (precision == 16)
            return false;
        bits.skip(5 + uint64_t{order} * precision);
        return skipResidual(bits, blockSize, order);
    } else {
        return false;
    }
    return bits.ok();
}

// Length of the whole frame at the start of `bytes` (its subframes read to
// their last bit, then the CRC-16), or 0 when it is not a whole valid frame.
uint64_t frameLength(const Bytes& bytes, const Stream& stream) {
    const FrameHeader header = readFrameHeader(bytes, 0, stream);
    if (!header.valid)
        return 0;
    const uint32_t channelCode = bytes.u8(3) >> 4;
    BitReader bits(bytes, header.length);
    for (uint32_t channel = 0; channel < stream.channels; ++channel) {
        // The side channel of a stereo pair carries one bit more.
        const bool side = (channelCode == 8 && channel == 1) || (channelCode == 9 && channel == 0) ||
                          (channelCode == 10 && channel == 1);
        if (!skipSubframe(bits, header.blockSize, stream.sampleBits + (side ? 1 : 0)))
            return 0;
    }
    const uint64_t length = bits.bytePosition() + 2;
    if (!bytes.has(0, length) || flacCrc16(0, bytes.data(), length) != 0)
        return 0;
    return length;
}

// The frame being followed when the file closed, if it was written whole,
// read back from the output and measured.
uint64_t writtenFrameLength(CarveCandidate& candidate) {
    const auto& state = candidate.carried;
    const Stream stream = Stream::unpack(state[kStream]);
    if (Frame::unpack(state[kFrame]).mode != kFrameBody || candidate.size <= state[kAt])
        return 0;
    const uint64_t longest = stream.largestFrame != 0 ? stream.largestFrame + 1 : kLongestFrame;
    std::vector<uint8_t> frame(std::min<uint64_t>(candidate.size - state[kAt], longest));
    if (candidate.output.readAt(state[kAt], frame.data(), frame.size()) != frame.size())
        return 0;
    return frameLength(Bytes(frame.data(), frame.size()), stream);
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
    fresh.endCheck = endCheckFlac;
    return 1;
}

BlockVerdict blockCheckFlac(const uint8_t* window, uint32_t windowLength, CarveCandidate& candidate) {
    const WindowWalk walk(window, windowLength, candidate);
    const Bytes& bytes = walk.bytes();
    for (;;) {
        const Mode mode = Frame::unpack(candidate.carried[kFrame]).mode;
        const uint64_t at = candidate.carried[kAt];
        BlockVerdict verdict = BlockVerdict::kContinue;
        if (mode == kMetadata) {
            verdict = followMetadata(bytes, walk, candidate);
        } else if (mode == kFrameStart) {
            verdict = followFrameStart(bytes, walk, candidate);
        } else {
            verdict = followFrameBody(bytes, walk, candidate);
        }
        if (verdict == BlockVerdict::kFileEnds)
            return BlockVerdict::kFileEnds;
        // Go on while the walk moved on to another structure in this window.
        if (Frame::unpack(candidate.carried[kFrame]).mode == mode && candidate.carried[kAt] == at)
            return BlockVerdict::kContinue;
    }
}

void endCheckFlac(CarveCandidate& candidate) {
    const auto& state = candidate.carried;
    uint64_t samples = state[kSamples];
    if (const uint64_t length = writtenFrameLength(candidate)) {
        candidate.expectedSize = state[kAt] + length;
        samples += Frame::unpack(state[kFrame]).blockSize;
    }
    endCheckTruncateToExpected(candidate);
    // The frames stop before the stream's total: the rest of it lay elsewhere.
    candidate.incomplete = state[kTotal] != 0 && samples < state[kTotal];
}

}  // namespace salvora

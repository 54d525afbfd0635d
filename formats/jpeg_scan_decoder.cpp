#include "formats/jpeg_scan_decoder.h"

#include <algorithm>
#include <bit>

namespace salvora {

namespace {

constexpr uint8_t kFirstRestart = 0xD0;

// Bits first to last (both included) of a coefficient mask; none when first > last.
uint64_t band(int first, int last) {
    if (first > last)
        return 0;
    const uint64_t upToLast = last == 63 ? ~uint64_t{0} : (uint64_t{1} << (last + 1)) - 1;
    return upToLast & ~((uint64_t{1} << first) - 1);
}

// Set bits of `mask`, counted without the processor's own instruction,
// which the portable build does not assume.
int bitCount(uint64_t mask) {
    mask = mask - ((mask >> 1) & 0x5555555555555555);
    mask = (mask & 0x3333333333333333) + ((mask >> 2) & 0x3333333333333333);
    mask = (mask + (mask >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<int>((mask * 0x0101010101010101) >> 56);
}

// Position of set bit number n (from 0, lowest first) of `mask`, 64 when there is none.
int nthSetBit(uint64_t mask, int n) {
    for (; n > 0 && mask != 0; --n)
        mask &= mask - 1;
    return mask ? std::countr_zero(mask) : 64;
}

}  // namespace

void JpegScanDecoder::start(const JpegFrame& frame, const JpegScan& scan, uint32_t restartInterval) {
    scan_ = scan;
    progressive_ = frame.progressive;
    component_ = scan.components[0];
    for (int i = 0; i < scan.componentCount; ++i) {
        const JpegComponent& component = frame.components[scan.components[i]];
        blocksInMcu_[i] = static_cast<uint8_t>(scan.componentCount == 1 ? 1 : component.h * component.v);
    }
    const JpegComponent& single = frame.components[component_];
    mcuCount_ = scan.componentCount == 1 ? uint64_t{single.blocksWide} * single.blocksHigh
                                         : uint64_t{frame.mcusWide} * frame.mcusHigh;
    mcu_ = 0;
    restartInterval_ = restartInterval;
    nextRestart_ = 0;
    endOfBandRun_ = 0;
    dcPredictor_ = {};
    // The DCT of 8-bit samples puts the DC coefficient in -1024..1016 (12-bit: 16 times that).
    dcLimit_ = (frame.precision == 12 ? 16384 : 1024) >> scan.approximationLow;
    maxDcCategory_ = frame.precision == 12 ? 15 : 11;
    maxAcCategory_ = frame.precision == 12 ? 14 : 10;
}

ScanStep JpegScanDecoder::run(JpegBitReader& reader, CoefficientHistory& history) {
    while (true) {
        const JpegBitReader mcuStart = reader;
        const uint32_t runAtStart = endOfBandRun_;
        const uint8_t restartAtStart = nextRestart_;
        const std::array<int32_t, 4> predictorsAtStart = dcPredictor_;
        const bool acScan = progressive_ && scan_.spectralStart != 0;
        const uint64_t maskAtStart = acScan && mcu_ < mcuCount_ ? history.mask(component_, mcu_) : 0;
        Status status;
        if (mcu_ == mcuCount_) {
            status = endOfScan(reader);
            if (status == Status::kOk)
                return ScanStep::kDone;
        } else {
            status = restartInterval_ != 0 && mcu_ != 0 && mcu_ % restartInterval_ == 0 ? restart(reader)
                                                                                        : Status::kOk;
            if (status == Status::kOk)
                status = decodeMcu(reader, history);
            if (status == Status::kOk) {
                ++mcu_;
                continue;
            }
        }
        if (status == Status::kBad)
            return ScanStep::kBad;
        reader = mcuStart;
        endOfBandRun_ = runAtStart;
        nextRestart_ = restartAtStart;
        dcPredictor_ = predictorsAtStart;
        if (acScan && mcu_ < mcuCount_)
            history.setMask(component_, mcu_, maskAtStart);
        return ScanStep::kNeedData;
    }
}

JpegScanDecoder::Status JpegScanDecoder::restart(JpegBitReader& reader) {
    reader.fill();
    if (reader.available() >= 8)
        return bad(reader.offsetOfBit(reader.available() % 8));
    if (reader.marker() == JpegBitReader::kNoMarker)
        return Status::kNeedData;
    uint64_t at = reader.marker() + 1;
    uint8_t code = 0xFF;
    while (code == 0xFF) {
        if (!reader.byteAt(at++, code))
            return Status::kNeedData;
    }
    if (code != kFirstRestart + nextRestart_)
        return bad(reader.marker());
    reader.startAt(at);
    nextRestart_ = (nextRestart_ + 1) & 7;
    endOfBandRun_ = 0;
    dcPredictor_ = {};
    return Status::kOk;
}

JpegScanDecoder::Status JpegScanDecoder::endOfScan(JpegBitReader& reader) {
    reader.fill();
    if (reader.available() >= 8)
        return bad(reader.offsetOfBit(reader.available() % 8));
    return reader.marker() == JpegBitReader::kNoMarker ? Status::kNeedData : Status::kOk;
}

JpegScanDecoder::Status JpegScanDecoder::decodeMcu(JpegBitReader& reader, CoefficientHistory& history) {
    if (progressive_ && scan_.spectralStart != 0) {
        uint64_t mask = history.mask(component_, mcu_);
        const Status status =
            scan_.approximationHigh == 0 ? acFirstBlock(reader, mask) : acRefineBlock(reader, mask);
        if (status == Status::kOk)
            history.setMask(component_, mcu_, mask);
        return status;
    }
    for (int i = 0; i < scan_.componentCount; ++i) {
        for (int block = 0; block < blocksInMcu_[i]; ++block) {
            uint32_t ignored = 0;
            Status status;
            if (!progressive_)
                status = sequentialBlock(reader, i);
            else if (scan_.approximationHigh == 0)
                status = dcFirstBlock(reader, i);
            else
                status = bits(reader, 1, ignored);
            if (status != Status::kOk)
                return status;
        }
    }
    return Status::kOk;
}

// The hot path: each code is taken together with the extra bits it announces.
JpegScanDecoder::Status JpegScanDecoder::sequentialBlock(JpegBitReader& reader, int index) {
    Status status = dcFirstBlock(reader, index);
    if (status != Status::kOk)
        return status;
    const HuffmanTable& table = *scan_.ac[index];
    for (int k = 1; k < 64;) {
        if (reader.available() < 32)
            reader.fill();
        const HuffmanTable::Match match = table.match(reader.peek16());
        const int size = match.symbol & 15;
        if (match.symbol < 0 || match.length + size > reader.available())
            return codeProblem(reader, match);
        reader.take(match.length + size);
        const int run = match.symbol >> 4;
        if (size == 0) {
            if (run == 0)
                break;  // end of block
            if (run != 15 || k + 15 > 63)
                return bad(reader.offsetOfBit(-1));
            k += 16;
            continue;
        }
        k += run;
        if (k > 63 || size > maxAcCategory_)
            return bad(reader.offsetOfBit(-1 - size));
        ++k;
    }
    return Status::kOk;
}

// A DC difference, and the DC value it gives, which a real image keeps
// within the range of its samples' DCT.
JpegScanDecoder::Status JpegScanDecoder::dcFirstBlock(JpegBitReader& reader, int index) {
    if (reader.available() < 32)
        reader.fill();
    const HuffmanTable::Match match = scan_.dc[index]->match(reader.peek16());
    const int category = match.symbol;
    if (category > maxDcCategory_ && match.length <= reader.available())
        return bad(reader.offsetOfBit(match.length - 1));
    if (category < 0 || match.length + category > reader.available())
        return codeProblem(reader, match);
    reader.take(match.length);
    const int32_t bits = static_cast<int32_t>(reader.take(category));
    const int32_t difference =
        category == 0 || bits >= (1 << (category - 1)) ? bits : bits - (1 << category) + 1;
    int32_t& predictor = dcPredictor_[index];
    predictor += difference;
    if (predictor > dcLimit_ || predictor < -dcLimit_)
        return bad(reader.offsetOfBit(-1));
    return Status::kOk;
}

JpegScanDecoder::Status JpegScanDecoder::acFirstBlock(JpegBitReader& reader, uint64_t& mask) {
    if (endOfBandRun_ > 0) {
        --endOfBandRun_;
        return Status::kOk;
    }
    const HuffmanTable& table = *scan_.ac[0];
    for (int k = scan_.spectralStart; k <= scan_.spectralEnd;) {
        int rs = 0;
        Status status = symbol(reader, table, rs);
        if (status != Status::kOk)
            return status;
        const int run = rs >> 4, size = rs & 15;
        uint32_t extra = 0;
        if (size == 0) {
            if (run < 15) {
                if ((status = bits(reader, run, extra)) != Status::kOk)
                    return status;
                endOfBandRun_ = (1u << run) + extra - 1;
                return Status::kOk;
            }
            if (k + 15 > scan_.spectralEnd)
                return bad(reader.offsetOfBit(-1));
            k += 16;
            continue;
        }
        k += run;
        if (k > scan_.spectralEnd || size > maxAcCategory_)
            return bad(reader.offsetOfBit(-1));
        if ((status = bits(reader, size, extra)) != Status::kOk)
            return status;
        mask |= uint64_t{1} << k;
        ++k;
    }
    return Status::kOk;
}

JpegScanDecoder::Status JpegScanDecoder::acRefineBlock(JpegBitReader& reader, uint64_t& mask) {
    const HuffmanTable& table = *scan_.ac[0];
    const int end = scan_.spectralEnd;
    int k = scan_.spectralStart;
    Status status = Status::kOk;
    while (endOfBandRun_ == 0 && k <= end) {
        int rs = 0;
        if ((status = symbol(reader, table, rs)) != Status::kOk)
            return status;
        const int run = rs >> 4;
        const int size = rs & 15;
        if (size == 0 && run < 15) {
            uint32_t extra = 0;
            if ((status = bits(reader, run, extra)) != Status::kOk)
                return status;
            endOfBandRun_ = (1u << run) + extra;
            break;
        }
        if (size > 1)
            return bad(reader.offsetOfBit(-1));
        // A new coefficient (size 1) goes after `run` coefficients that are
        // still zero; sixteen zeros (0xF0) step over the sixteenth as well.
        // Each non-zero coefficient passed on the way has a correction bit.
        const int at = nthSetBit(~mask & band(k, end), run);
        if (at > end)
            return bad(reader.offsetOfBit(-1));
        if ((status = skipBits(reader, size + bitCount(mask & band(k, at - 1)))) != Status::kOk)
            return status;
        if (size == 1)
            mask |= uint64_t{1} << at;
        k = at + 1;
    }
    if (endOfBandRun_ > 0) {
        if ((status = skipBits(reader, bitCount(mask & band(k, end)))) != Status::kOk)
            return status;
        --endOfBandRun_;
    }
    return Status::kOk;
}

JpegScanDecoder::Status JpegScanDecoder::skipBits(JpegBitReader& reader, int count) {
    uint32_t ignored = 0;
    for (; count > 0; count -= 16) {
        const Status status = bits(reader, std::min(count, 16), ignored);
        if (status != Status::kOk)
            return status;
    }
    return Status::kOk;
}

JpegScanDecoder::Status JpegScanDecoder::symbol(JpegBitReader& reader, const HuffmanTable& table,
                                                int& value) {
    if (reader.available() < 16)
        reader.fill();
    const HuffmanTable::Match match = table.match(reader.peek16());
    if (match.length > reader.available())
        return shortage(reader);
    if (match.symbol < 0)
        return bad(reader.offsetOfBit(match.length - 1));
    reader.take(match.length);
    value = match.symbol;
    return Status::kOk;
}

JpegScanDecoder::Status JpegScanDecoder::bits(JpegBitReader& reader, int count, uint32_t& value) {
    if (reader.available() < count) {
        reader.fill();
        if (reader.available() < count)
            return shortage(reader);
    }
    value = reader.take(count);
    return Status::kOk;
}

JpegScanDecoder::Status JpegScanDecoder::codeProblem(const JpegBitReader& reader,
                                                     const HuffmanTable::Match& match) {
    if (match.length > reader.available())
        return shortage(reader);
    if (match.symbol < 0)
        return bad(reader.offsetOfBit(match.length - 1));
    return shortage(reader);  // the extra bits after the code are missing
}

JpegScanDecoder::Status JpegScanDecoder::shortage(const JpegBitReader& reader) {
    return reader.marker() == JpegBitReader::kNoMarker ? Status::kNeedData : bad(reader.marker());
}

}  // namespace salvora

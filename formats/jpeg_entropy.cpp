#include "formats/jpeg_entropy.h"

#include <algorithm>

namespace salvora {

namespace {

constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kHuffmanTables = 0xC4;
constexpr uint8_t kRestartInterval = 0xDD;
constexpr uint8_t kArithmeticConditioning = 0xCC;
constexpr uint8_t kReservedJpg = 0xC8;
constexpr uint8_t kTemporary = 0x01;

// Smallest piece of new data joined to the bytes kept from the last call.
constexpr size_t kStitchBytes = 4096;

bool isFrameMarker(uint8_t code) {
    return code >= 0xC0 && code <= 0xCF && code != kHuffmanTables && code != kReservedJpg &&
           code != kArithmeticConditioning;
}

// Markers whose segment is read whole; every other segment is stepped over.
bool isReadSegment(uint8_t code) {
    return isFrameMarker(code) || code == kHuffmanTables || code == kStartOfScan || code == kRestartInterval;
}

bool isRestart(uint8_t code) {
    return code >= 0xD0 && code <= 0xD7;
}

}  // namespace

JpegDataCheck JpegEntropyValidator::feed(const uint8_t* data, size_t length) {
    if (result_.verdict != JpegDataVerdict::kNeedMore)
        return result_;
    fed_ += length;
    while (length > 0 && result_.verdict == JpegDataVerdict::kNeedMore) {
        const uint64_t begin = fed_ - length;
        if (carry_.empty()) {
            const uint64_t keep = process(data, begin, fed_);
            if (keep < fed_)
                carry_.assign(data + (keep - begin), data + length);
            carryStart_ = keep;
            break;
        }
        // Join a piece of the new data to the kept bytes and go on there.
        const uint64_t carryEnd = carryStart_ + carry_.size();
        const size_t take = std::min(length, std::max(carry_.size(), kStitchBytes));
        carry_.insert(carry_.end(), data, data + take);
        data += take;
        length -= take;
        const uint64_t end = carryStart_ + carry_.size();
        const uint64_t keep = process(carry_.data(), carryStart_, end);
        if (keep >= carryEnd) {
            // What is left to keep came from the new data: read it from there.
            const size_t back = static_cast<size_t>(end - keep);
            data -= back;
            length += back;
            carry_.clear();
            carryStart_ = keep;
        } else {
            carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(keep - carryStart_));
            carryStart_ = keep;
        }
    }
    if (result_.verdict == JpegDataVerdict::kNeedMore)
        result_.offset = fed_;
    else
        carry_.clear();
    return result_;
}

JpegDataCheck JpegEntropyValidator::finish() {
    if (result_.verdict == JpegDataVerdict::kNeedMore)
        conclude(JpegDataVerdict::kBadData, fed_);
    return result_;
}

uint64_t JpegEntropyValidator::mcusDecoded() const {
    return mcusBefore_ + (phase_ == Phase::kScan ? decoder_.mcusDone() : 0);
}

void JpegEntropyValidator::conclude(JpegDataVerdict verdict, uint64_t offset) {
    result_ = {verdict, offset};
    phase_ = Phase::kEnded;
}

uint64_t JpegEntropyValidator::process(const uint8_t* data, uint64_t begin, uint64_t end) {
    const Bytes window(data, end - begin);
    while (true) {
        switch (phase_) {
            case Phase::kStartOfImage:
                if (end - begin < 2)
                    return begin;
                if (window.u8(0) != 0xFF || window.u8(1) != kStartOfImage)
                    conclude(JpegDataVerdict::kBadData, window.u8(0) != 0xFF ? 0 : 1);
                else
                    phase_ = Phase::kMarker;
                pos_ = 2;
                break;
            case Phase::kMarker:
                if (!markerStep(window, begin))
                    return pos_;
                break;
            case Phase::kSkip: {
                const uint64_t step = std::min(skipLeft_, end - pos_);
                pos_ += step;
                skipLeft_ -= step;
                if (skipLeft_ > 0)
                    return end;
                phase_ = Phase::kMarker;
                break;
            }
            case Phase::kScan:
                scanStep(data, begin, end);
                if (phase_ == Phase::kScan)
                    return reader_.nextByte();
                break;
            case Phase::kEnded:
                return end;
        }
    }
}

bool JpegEntropyValidator::markerStep(Bytes window, uint64_t begin) {
    const uint64_t at = pos_ - begin;
    if (!window.has(at, 1))
        return false;
    if (window.u8(at) != 0xFF) {
        conclude(JpegDataVerdict::kBadData, pos_);
        return true;
    }
    uint64_t codeAt = at + 1;
    while (window.has(codeAt, 1) && window.u8(codeAt) == 0xFF)
        ++codeAt;  // fill bytes
    if (!window.has(codeAt, 1))
        return false;
    const uint8_t code = window.u8(codeAt);
    const uint64_t after = begin + codeAt + 1;
    if (code == kEndOfImage) {
        endOfImage(pos_, after);
        return true;
    }
    if (code == kTemporary) {
        pos_ = after;
        return true;
    }
    if (code == kStartOfImage || code == 0x00 || isRestart(code) || code < 0xC0) {
        conclude(JpegDataVerdict::kBadData, pos_);
        return true;
    }
    if (!window.has(codeAt + 1, 2))
        return false;
    const uint16_t length = window.be16(codeAt + 1);
    if (length < 2) {
        conclude(JpegDataVerdict::kBadData, pos_);
        return true;
    }
    if (!isReadSegment(code)) {
        pos_ = after + 2;
        skipLeft_ = length - 2u;
        phase_ = Phase::kSkip;
        return true;
    }
    if (!window.has(codeAt + 3, length - 2u))
        return false;
    const uint64_t markerAt = pos_;
    pos_ = after + length;
    segment(code, Bytes(window.data() + codeAt + 3, length - 2u), markerAt);
    return true;
}

void JpegEntropyValidator::segment(uint8_t code, Bytes content, uint64_t at) {
    if (isFrameMarker(code)) {
        frameSegment(code, content, at);
    } else if (code == kHuffmanTables) {
        if (!parseHuffmanTables(content, tables_))
            conclude(JpegDataVerdict::kBadData, at);
    } else if (code == kRestartInterval) {
        if (content.size() == 2)
            restartInterval_ = content.be16(0);
        else
            conclude(JpegDataVerdict::kBadData, at);
    } else {
        scanSegment(content, at);
    }
}

void JpegEntropyValidator::frameSegment(uint8_t code, Bytes content, uint64_t at) {
    if (haveFrame_) {
        conclude(JpegDataVerdict::kBadData, at);
        return;
    }
    switch (parseFrame(content, code, frame_)) {
        case JpegHeader::kValid:
            haveFrame_ = true;
            if (frame_.progressive)
                history_.reset(frame_);
            break;
        case JpegHeader::kInvalid:
            conclude(JpegDataVerdict::kBadData, at);
            break;
        case JpegHeader::kUnsupported:
            conclude(JpegDataVerdict::kUnsupported, at);
            break;
    }
}

void JpegEntropyValidator::scanSegment(Bytes content, uint64_t at) {
    if (!haveFrame_) {
        conclude(JpegDataVerdict::kBadData, at);
        return;
    }
    const JpegHeader header = parseScan(content, frame_, tables_, scan_);
    if (header != JpegHeader::kValid) {
        conclude(header == JpegHeader::kInvalid ? JpegDataVerdict::kBadData : JpegDataVerdict::kUnsupported,
                 at);
        return;
    }
    uint8_t components = 0;
    for (int i = 0; i < scan_.componentCount; ++i)
        components |= static_cast<uint8_t>(1 << scan_.components[i]);
    const bool acScan = frame_.progressive && scan_.spectralStart != 0;
    // A progressive file codes a component's DC coefficients before any of its AC ones.
    if (acScan && (scannedComponents_ & components) != components) {
        conclude(JpegDataVerdict::kBadData, at);
        return;
    }
    if (!acScan && scan_.approximationHigh == 0)
        scannedComponents_ |= components;
    decoder_.start(frame_, scan_, restartInterval_);
    reader_.startAt(pos_);
    phase_ = Phase::kScan;
}

void JpegEntropyValidator::scanStep(const uint8_t* data, uint64_t begin, uint64_t end) {
    reader_.setWindow(data, begin, end);
    switch (decoder_.run(reader_, history_)) {
        case ScanStep::kDone:
            mcusBefore_ += decoder_.mcusDone();
            pos_ = reader_.marker();
            phase_ = Phase::kMarker;
            break;
        case ScanStep::kBad:
            conclude(JpegDataVerdict::kBadData, decoder_.badOffset());
            break;
        case ScanStep::kNeedData:
            break;
    }
}

void JpegEntropyValidator::endOfImage(uint64_t at, uint64_t after) {
    const uint8_t all = static_cast<uint8_t>((1 << frame_.componentCount) - 1);
    if (!haveFrame_ || scannedComponents_ != all)
        conclude(JpegDataVerdict::kBadData, at);
    else
        conclude(JpegDataVerdict::kValid, after);
}

JpegDataCheck validateJpegData(const uint8_t* data, size_t length) {
    JpegEntropyValidator validator;
    validator.feed(data, length);
    return validator.finish();
}

}  // namespace salvora

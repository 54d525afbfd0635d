// Reads the bits of a JPEG scan's entropy-coded data from a window of the
// file: a 0x00 byte stuffed after 0xFF is dropped, and a marker (0xFF then
// anything but 0x00) ends the bits. Offsets are absolute file offsets, so the
// reader's state stays valid when the window moves on to later bytes.
#pragma once

#include <array>
#include <cstdint>

namespace salvora {

class JpegBitReader {
  public:
    static constexpr uint64_t kNoMarker = UINT64_MAX;

    // The bytes [begin, end) of the file; `data` holds byte `begin`.
    void setWindow(const uint8_t* data, uint64_t begin, uint64_t end) {
        data_ = data;
        begin_ = begin;
        end_ = end;
    }

    // Starts reading at file offset `at` with nothing buffered.
    void startAt(uint64_t at) {
        next_ = at;
        buffer_ = 0;
        bits_ = 0;
        marker_ = kNoMarker;
    }

    // Buffers as many bytes as fit, up to a marker or the end of the window.
    void fill() {
        while (bits_ <= 56 && marker_ == kNoMarker && next_ < end_) {
            if (next_ + 8 <= end_ && fillWord())
                return;
            const uint8_t byte = data_[next_ - begin_];
            uint64_t used = 1;
            if (byte == 0xFF) {
                if (next_ + 1 >= end_)
                    return;  // cannot tell stuffing from a marker yet
                if (data_[next_ + 1 - begin_] != 0x00) {
                    marker_ = next_;
                    return;
                }
                used = 2;
            }
            buffer_ |= uint64_t{byte} << (56 - bits_);
            bits_ += 8;
            offsets_[loaded_++ & 15] = next_;
            next_ += used;
        }
    }

    // The next 16 bits, most significant first; bits past the buffered ones read as 1.
    uint32_t peek16() const {
        const uint32_t bits = static_cast<uint32_t>(buffer_ >> 48);
        return bits_ >= 16 ? bits : bits | (0xFFFFu >> bits_);
    }
    // Bits buffered (real data, not padding).
    int available() const { return bits_; }
    // Takes `count` bits (at most available()).
    uint32_t take(int count) {
        if (count == 0)
            return 0;
        const uint32_t value = static_cast<uint32_t>(buffer_ >> (64 - count));
        buffer_ <<= count;
        bits_ -= count;
        return value;
    }

    // Offset of the marker that ends the bits, kNoMarker when none was met yet.
    uint64_t marker() const { return marker_; }
    // The byte at file offset `at` when the window holds it.
    bool byteAt(uint64_t at, uint8_t& byte) const {
        if (at < begin_ || at >= end_)
            return false;
        byte = data_[at - begin_];
        return true;
    }

    // File offset of the byte holding the bit `ahead` bits after the next one
    // to be taken (ahead < available(); -1 means the last bit taken, -2 the
    // one before, back to the 8 bytes before the buffered ones).
    uint64_t offsetOfBit(int ahead) const {
        const uint64_t index = (loaded_ * 8 - bits_ + static_cast<int64_t>(ahead)) / 8;
        return offsets_[index & 15];
    }
    // Drops the bits left in the byte being read (the padding before a marker).
    // Returns false when whole bytes were left as well.
    bool dropPadding() {
        const bool onlyPadding = bits_ < 8;
        buffer_ = 0;
        bits_ = 0;
        return onlyPadding;
    }
    // Offset of the next byte not yet buffered.
    uint64_t nextByte() const { return next_; }

  private:
    // Buffers the whole bytes that fit from the next eight when none of them
    // is 0xFF (the common case); false when one is.
    bool fillWord() {
        const uint8_t* at = data_ + (next_ - begin_);
        uint64_t word = 0;
        for (int i = 0; i < 8; ++i)
            word = word << 8 | at[i];
        const uint64_t inverted = ~word;
        if (((inverted - 0x0101010101010101) & ~inverted & 0x8080808080808080) != 0)
            return false;
        const int count = (64 - bits_) / 8;
        buffer_ |= (word & (~uint64_t{0} << (64 - 8 * count))) >> bits_;
        for (int i = 0; i < count; ++i)
            offsets_[(loaded_ + i) & 15] = next_ + i;
        loaded_ += count;
        next_ += count;
        bits_ += 8 * count;
        return true;
    }

    const uint8_t* data_ = nullptr;
    uint64_t begin_ = 0;
    uint64_t end_ = 0;
    uint64_t next_ = 0;
    uint64_t buffer_ = 0;
    int bits_ = 0;
    uint64_t marker_ = kNoMarker;
    uint64_t loaded_ = 0;
    std::array<uint64_t, 16> offsets_{};
};

}  // namespace salvora

// Bounds-checked reading of multi-byte fields from a byte buffer.
//
// Every format and on-disk structure is read through these helpers with the
// byte order the format states. A read that would leave the buffer returns 0
// (or false), so no caller can read outside the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace salvora {

class Bytes {
  public:
    Bytes() = default;
    Bytes(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

    // True when [at, at + length) lies inside the buffer.
    bool has(size_t at, size_t length) const { return at <= size_ && length <= size_ - at; }

    uint8_t u8(size_t at) const { return has(at, 1) ? data_[at] : 0; }
    uint16_t le16(size_t at) const {
        return has(at, 2) ? static_cast<uint16_t>(data_[at] | (data_[at + 1] << 8)) : 0;
    }
    uint16_t be16(size_t at) const {
        return has(at, 2) ? static_cast<uint16_t>((data_[at] << 8) | data_[at + 1]) : 0;
    }
    uint32_t le32(size_t at) const {
        if (!has(at, 4))
            return 0;
        return static_cast<uint32_t>(data_[at]) | static_cast<uint32_t>(data_[at + 1]) << 8 |
               static_cast<uint32_t>(data_[at + 2]) << 16 | static_cast<uint32_t>(data_[at + 3]) << 24;
    }
    uint32_t be32(size_t at) const {
        if (!has(at, 4))
            return 0;
        return static_cast<uint32_t>(data_[at]) << 24 | static_cast<uint32_t>(data_[at + 1]) << 16 |
               static_cast<uint32_t>(data_[at + 2]) << 8 | static_cast<uint32_t>(data_[at + 3]);
    }
    uint64_t le64(size_t at) const {
        if (!has(at, 8))
            return 0;
        return static_cast<uint64_t>(le32(at)) | static_cast<uint64_t>(le32(at + 4)) << 32;
    }
    uint64_t be64(size_t at) const {
        if (!has(at, 8))
            return 0;
        return static_cast<uint64_t>(be32(at)) << 32 | static_cast<uint64_t>(be32(at + 4));
    }
    // 16 or 32 bits in the order given: bigEndian true for "MM" data.
    uint16_t u16(size_t at, bool bigEndian) const { return bigEndian ? be16(at) : le16(at); }
    uint32_t u32(size_t at, bool bigEndian) const { return bigEndian ? be32(at) : le32(at); }

    // True when the buffer holds exactly `length` bytes of `pattern` at `at`.
    bool equals(size_t at, const void* pattern, size_t length) const {
        return has(at, length) && std::memcmp(data_ + at, pattern, length) == 0;
    }
    // Same for a text literal, without its terminating zero.
    template <size_t N>
    bool equalsText(size_t at, const char (&text)[N]) const {
        return equals(at, text, N - 1);
    }

  private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace salvora

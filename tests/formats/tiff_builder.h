// Builds small TIFF files with directories placed by hand, for the cases
// real files do not show (loops, odd offsets, deep nesting, huge counts).
#pragma once

#include <cstdint>
#include <vector>

namespace salvora::test {

struct TiffEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;
};

class TiffBuilder {
  public:
    TiffBuilder(bool bigEndian, size_t size) : bigEndian_(bigEndian), bytes_(size, 0) {
        bytes_[0] = bytes_[1] = bigEndian ? 'M' : 'I';
        u16(2, 42);
    }

    TiffBuilder& firstDirectory(uint32_t offset) { return u32(4, offset); }

    // Writes a directory at `at`: the entry count, the entries and the next-directory offset.
    TiffBuilder& directory(size_t at, const std::vector<TiffEntry>& entries, uint32_t next = 0) {
        u16(at, static_cast<uint16_t>(entries.size()));
        size_t p = at + 2;
        for (const TiffEntry& entry : entries) {
            u16(p, entry.tag);
            u16(p + 2, entry.type);
            u32(p + 4, entry.count);
            // SHORT values kept in the entry sit in its first two bytes.
            if (entry.type == 3 && entry.count == 1) {
                u16(p + 8, static_cast<uint16_t>(entry.value));
            } else {
                u32(p + 8, entry.value);
            }
            p += 12;
        }
        return u32(p, next);
    }

    TiffBuilder& u16(size_t at, uint16_t value) {
        grow(at + 2);
        put(at, value, 2);
        return *this;
    }
    TiffBuilder& u32(size_t at, uint32_t value) {
        grow(at + 4);
        put(at, value, 4);
        return *this;
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    void grow(size_t size) {
        if (bytes_.size() < size)
            bytes_.resize(size, 0);
    }
    void put(size_t at, uint32_t value, int width) {
        for (int i = 0; i < width; ++i) {
            const int shift = bigEndian_ ? 8 * (width - 1 - i) : 8 * i;
            bytes_[at + i] = static_cast<uint8_t>(value >> shift);
        }
    }

    bool bigEndian_;
    std::vector<uint8_t> bytes_;
};

}  // namespace salvora::test

#include "formats/search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace salvora {
namespace {

const uint8_t* bytes(const char* text) {
    return reinterpret_cast<const uint8_t*>(text);
}

TEST(FindBytes, FirstOccurrenceNoneAndEmptyPattern) {
    EXPECT_EQ(findBytes(bytes("abcabc"), 6, "ca", 2), std::optional<size_t>(2));
    EXPECT_EQ(findBytes(bytes("abcabc"), 6, "bc", 2), std::optional<size_t>(1));
    EXPECT_EQ(findBytes(bytes("abcabc"), 6, "abc", 3), std::optional<size_t>(0));
    EXPECT_FALSE(findBytes(bytes("abcabc"), 6, "cd", 2));
    EXPECT_FALSE(findBytes(bytes("ab"), 2, "abc", 3));
    EXPECT_EQ(findBytes(bytes("ab"), 2, "", 0), std::optional<size_t>(0));
    EXPECT_EQ(findBytes(bytes("xxab"), 4, "ab", 2), std::optional<size_t>(2));  // at the very end
}

TEST(OffsetPastMatch, PositionAfterTheMatchOrZero) {
    EXPECT_EQ(offsetPastMatch(bytes("..LYRICSEND.."), 5, "LYRICSEND", 9), 11u);
    EXPECT_EQ(offsetPastMatch(bytes("..LYRICSEND.."), 2, "LYRICSEND", 9),
              0u);  // starts at index 2, limit excludes it
    EXPECT_EQ(offsetPastMatch(bytes("abcdefgh"), 6, "zz", 2), 0u);
}

// A little TIFF block builder: IFD 0 at 8, an optional Exif IFD and IFD 1.
class TiffBlock {
  public:
    explicit TiffBlock(bool bigEndian) : big_(bigEndian), data_(512, 0) {
        std::memcpy(data_.data(), bigEndian ? "MM\x00\x2a" : "II\x2a\x00", 4);
        put32(4, 8);
    }
    void ifd(size_t at, std::vector<std::pair<uint16_t, uint32_t>> entries, uint32_t next) {
        put16(at, static_cast<uint16_t>(entries.size()));
        size_t entry = at + 2;
        for (auto [tag, value] : entries) {
            put16(entry, tag);
            put16(entry + 2, 4);
            put32(entry + 4, 1);
            put32(entry + 8, value);
            entry += 12;
        }
        put32(entry, next);
    }
    const uint8_t* data() const { return data_.data(); }
    size_t size() const { return data_.size(); }

  private:
    void put16(size_t at, uint16_t v) {
        data_[at + (big_ ? 0 : 1)] = static_cast<uint8_t>(v >> 8);
        data_[at + (big_ ? 1 : 0)] = static_cast<uint8_t>(v);
    }
    void put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            data_[at + (big_ ? 3 - i : i)] = static_cast<uint8_t>(v >> (8 * i));
    }
    bool big_;
    std::vector<uint8_t> data_;
};

TEST(FindTiffTag, FindsTagsInIfd0TheExifIfdAndIfd1InBothByteOrders) {
    for (bool big : {false, true}) {
        TiffBlock tiff(big);
        tiff.ifd(8, {{271, 100}, {34665, 200}}, 300);
        tiff.ifd(200, {{33434, 7}}, 0);
        tiff.ifd(300, {{0x0201, 400}, {0x0202, 50}}, 0);
        EXPECT_EQ(findTiffTag(tiff.data(), tiff.size(), 271), std::optional<uint64_t>(100));
        EXPECT_EQ(findTiffTag(tiff.data(), tiff.size(), 33434), std::optional<uint64_t>(7)) << big;
        EXPECT_EQ(findTiffTag(tiff.data(), tiff.size(), 0x0202), std::optional<uint64_t>(50)) << big;
        EXPECT_FALSE(findTiffTag(tiff.data(), tiff.size(), 999));
    }
}

TEST(FindTiffTag, RefusesShortBlocksOtherHeadersAndFarIfds) {
    TiffBlock tiff(false);
    tiff.ifd(8, {{271, 100}}, 0);
    EXPECT_FALSE(findTiffTag(tiff.data(), 7, 271));
    std::vector<uint8_t> other(tiff.data(), tiff.data() + tiff.size());
    other[0] = 'X';
    EXPECT_FALSE(findTiffTag(other.data(), other.size(), 271));
    std::vector<uint8_t> far(tiff.data(), tiff.data() + tiff.size());
    far[4] = static_cast<uint8_t>(far.size() - 11);  // offset + 12 > length
    far[5] = static_cast<uint8_t>((far.size() - 11) >> 8);
    EXPECT_FALSE(findTiffTag(far.data(), far.size(), 271));
}

TEST(FindTiffTag, EntriesPastTheBlockAreNotRead) {
    TiffBlock tiff(false);
    tiff.ifd(8, {{1, 1}, {2, 2}, {271, 3}}, 0);
    // Only the first two entries lie wholly inside a block cut at 8 + 2 + 24 + 11.
    EXPECT_FALSE(findTiffTag(tiff.data(), 8 + 2 + 24 + 11, 271));
    EXPECT_EQ(findTiffTag(tiff.data(), 8 + 2 + 36, 271), std::optional<uint64_t>(3));
}

}  // namespace
}  // namespace salvora

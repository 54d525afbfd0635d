// Split raw images: the parts of one medium, read in order as one medium,
// and the messages for a part that is missing or short.
#include "media/split_image_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "media/error_text.h"
#include "media/image_reader.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// Bytes that differ from offset to offset, so a misplaced byte shows.
std::vector<uint8_t> mediumBytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = 2463534242u;
    for (auto& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<uint8_t>(state);
    }
    return bytes;
}

class SplitImage : public ::testing::Test {
  protected:
    // Cuts `medium` into parts of `partSize` bytes named stem + suffixes(i).
    std::vector<fs::path> writeParts(const std::vector<uint8_t>& medium, size_t partSize,
                                     const std::vector<std::string>& suffixes,
                                     const std::string& stem = "disk.") {
        std::vector<fs::path> paths;
        for (size_t at = 0, i = 0; at < medium.size(); at += partSize, ++i) {
            const size_t length = std::min(partSize, medium.size() - at);
            paths.push_back(dir.path() / (stem + suffixes.at(i)));
            test::writeFile(paths.back(),
                            std::vector<uint8_t>(medium.begin() + at, medium.begin() + at + length));
        }
        return paths;
    }

    std::unique_ptr<MediaReader> open(const fs::path& path, std::string& why,
                                      ImageDescription* described = nullptr) {
        return openImage(path.string(), why, described);
    }

    test::TempDir dir;
};

// Parts of 1000 bytes (not whole sectors) make every read that crosses a part
// boundary come from two files; the window is swept across each boundary.
TEST_F(SplitImage, ReadsAcrossEveryPartBoundaryAsOneMedium) {
    const auto medium = mediumBytes(4500);
    const auto parts = writeParts(medium, 1000, {"001", "002", "003", "004", "005"});
    std::string why;
    ImageDescription described;
    auto reader = open(parts[0], why, &described);
    ASSERT_TRUE(reader) << why;
    EXPECT_EQ(described.format, ImageFormat::kSplitRaw);
    ASSERT_EQ(described.files.size(), 5u);
    EXPECT_EQ(described.files[4], parts[4].string());
    EXPECT_EQ(reader->size, 4500u);
    EXPECT_EQ(reader->sectorSize, 512u);
    EXPECT_EQ(reader->cylinders, 8u);
    EXPECT_EQ(reader->devicePath, parts[0].string());
    for (uint64_t boundary : {1000, 2000, 3000, 4000}) {
        for (uint64_t offset = boundary - 700; offset <= boundary + 100; offset += 37) {
            std::vector<uint8_t> window(650, 0xee);
            const int32_t expected = static_cast<int32_t>(std::min<uint64_t>(650, 4500 - offset));
            ASSERT_EQ(reader->readAt(window.data(), 650, offset), expected) << offset;
            ASSERT_TRUE(std::equal(window.begin(), window.begin() + expected, medium.begin() + offset))
                << offset;
        }
    }
    std::vector<uint8_t> whole(8192, 0xee);
    ASSERT_EQ(reader->readAt(whole.data(), 8192, 0), 4500);
    EXPECT_TRUE(std::equal(medium.begin(), medium.end(), whole.begin()));
    EXPECT_EQ(whole[4500], 0) << "zero-filled past the end";
    clearLastErrorText();
    EXPECT_EQ(reader->readAt(whole.data(), 512, 4608), 0);
    EXPECT_EQ(lastErrorText(), "") << "a read past the end is no failure";
}

TEST_F(SplitImage, LetterSuffixesAndAnyPartNamedOpenTheWholeSeries) {
    const auto medium = mediumBytes(3 * 2048 + 100);
    const auto parts = writeParts(medium, 2048, {"aa", "ab", "ac", "ad"}, "card.img.");
    std::string why;
    ImageDescription described;
    auto reader = open(parts[2], why, &described);
    ASSERT_TRUE(reader) << why;
    EXPECT_EQ(reader->size, medium.size());
    EXPECT_EQ(described.files.front(), parts[0].string());
    EXPECT_EQ(reader->devicePath, parts[2].string()) << "the image is named as the user named it";
    std::vector<uint8_t> all(medium.size());
    ASSERT_EQ(reader->readAt(all.data(), static_cast<uint32_t>(all.size()), 0),
              static_cast<int32_t>(all.size()));
    EXPECT_EQ(all, medium);
}

// split -d numbers from 00; imaging tools from 001.
TEST_F(SplitImage, SeriesStartingAtZero) {
    const auto medium = mediumBytes(3000);
    const auto parts = writeParts(medium, 1024, {"00", "01", "02"}, "x.");
    std::string why;
    auto reader = open(parts[0], why);
    ASSERT_TRUE(reader) << why;
    EXPECT_EQ(reader->size, 3000u);
}

TEST_F(SplitImage, MissingMiddlePartIsNamed) {
    const auto parts = writeParts(mediumBytes(5000), 1000, {"001", "002", "003", "004", "005"});
    fs::remove(parts[2]);
    std::string why;
    EXPECT_FALSE(open(parts[0], why));
    EXPECT_EQ(why, "The part disk.003 of the split image is missing (disk.005 is there).");
}

TEST_F(SplitImage, MissingFirstPartIsNamed) {
    const auto parts = writeParts(mediumBytes(3000), 1000, {"001", "002", "003"});
    fs::remove(parts[0]);
    std::string why;
    EXPECT_FALSE(open(parts[1], why));
    EXPECT_EQ(why, "The first part disk.001 of the split image is missing.");
}

TEST_F(SplitImage, ShortMiddlePartIsNamed) {
    const auto parts = writeParts(mediumBytes(4000), 1000, {"001", "002", "003", "004"});
    fs::resize_file(parts[1], 999);
    std::string why;
    EXPECT_FALSE(open(parts[0], why));
    EXPECT_EQ(why,
              "The part disk.002 of the split image has 999 bytes, but disk.001 has 1000: every part but the "
              "last must be as long as the first.");
}

TEST_F(SplitImage, LastPartLongerThanTheOthersIsRefused) {
    const auto parts = writeParts(mediumBytes(3000), 1000, {"001", "002", "003"});
    fs::resize_file(parts[2], 1001);
    std::string why;
    EXPECT_FALSE(open(parts[0], why));
    EXPECT_NE(why.find("disk.003"), std::string::npos) << why;
}

// Regression: a part that shrinks after the image was opened must fail the
// read with the part's name, not deliver zeros as if they were the medium.
TEST_F(SplitImage, PartShrunkAfterOpeningIsAReadFailureNamingIt) {
    const auto parts = writeParts(mediumBytes(3000), 1000, {"001", "002", "003"});
    std::string why;
    auto reader = open(parts[0], why);
    ASSERT_TRUE(reader) << why;
    fs::resize_file(parts[1], 500);
    clearLastErrorText();
    std::vector<uint8_t> buffer(1024, 0xee);
    EXPECT_EQ(reader->readAt(buffer.data(), 1024, 512), 0);
    EXPECT_EQ(lastErrorText(),
              "Error in ReadFile.\nError Code:5\nDescription:The part disk.002 of the split image is shorter "
              "than 1000 bytes now.");
    EXPECT_EQ(buffer[0], 0);
    clearLastErrorText();
}

TEST_F(SplitImage, ManyPartsAreReadWithFewFilesOpen) {
    const auto medium = mediumBytes(40 * 512);
    std::vector<std::string> suffixes;
    for (int i = 1; i <= 40; ++i) {
        char text[4];
        std::snprintf(text, sizeof text, "%03d", i);
        suffixes.push_back(text);
    }
    const auto parts = writeParts(medium, 512, suffixes);
    std::string why;
    auto reader = open(parts[0], why);
    ASSERT_TRUE(reader) << why;
    // Backwards, so that parts are opened again after being closed.
    for (int i = 39; i >= 0; --i) {
        std::vector<uint8_t> sector(512);
        ASSERT_EQ(reader->readAt(sector.data(), 512, 512u * i), 512);
        ASSERT_TRUE(std::equal(sector.begin(), sector.end(), medium.begin() + 512 * i)) << i;
    }
}

TEST_F(SplitImage, NameThatOnlyLooksLikeAPartIsARawImage) {
    // "img" could be a three-letter part suffix, but there is no card.aaa.
    test::writeFile(dir.path() / "card.img", mediumBytes(2048));
    test::writeFile(dir.path() / "backup.007", mediumBytes(1024));  // a lone part: the series has one part
    std::string why;
    ImageDescription described;
    auto raw = open(dir.path() / "card.img", why, &described);
    ASSERT_TRUE(raw) << why;
    EXPECT_EQ(described.format, ImageFormat::kRaw);
    ASSERT_EQ(described.files.size(), 1u);
    EXPECT_EQ(described.files[0], (dir.path() / "card.img").string());
    EXPECT_FALSE(open(dir.path() / "backup.007", why)) << "parts 1 to 6 are missing";
    EXPECT_EQ(why, "The first part backup.001 of the split image is missing.");
}

}  // namespace
}  // namespace salvora

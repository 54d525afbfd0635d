#include <gtest/gtest.h>

#include <numeric>

#include "media/error_text.h"
#include "media/image_reader.h"
#include "media/memory_reader.h"
#include "support/test_files.h"

namespace salvora {
namespace {

std::vector<uint8_t> countingBytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

// A medium that records the device reads it receives.
class RecordingReader : public MemoryReader {
  public:
    using MemoryReader::MemoryReader;
    std::vector<std::pair<uint64_t, uint32_t>> reads;

  protected:
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override {
        reads.emplace_back(offset, count);
        return MemoryReader::deviceRead(buffer, count, offset);
    }
};

TEST(ReadAt, UnalignedReadGoesThroughTheCoveringSectors) {
    const auto bytes = countingBytes(8192);
    RecordingReader reader(bytes);
    std::vector<uint8_t> out(100);
    ASSERT_EQ(reader.readAt(out.data(), 100, 1000), 100);
    ASSERT_EQ(reader.reads.size(), 1u);
    EXPECT_EQ(reader.reads[0], (std::pair<uint64_t, uint32_t>{512, 1024}));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 1000));
}

TEST(ReadAt, AlignedWholeSectorsGoStraightToTheDevice) {
    const auto bytes = countingBytes(8192);
    RecordingReader reader(bytes);
    std::vector<uint8_t> out(2048);
    ASSERT_EQ(reader.readAt(out.data(), 2048, 1024), 2048);
    EXPECT_EQ(reader.reads[0], (std::pair<uint64_t, uint32_t>{1024, 2048}));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 1024));
}

TEST(ReadAt, ShortReadAtTheEndZeroFillsTheRest) {
    const size_t size = 1 << 20;
    MemoryReader reader(countingBytes(size));
    std::vector<uint8_t> out(524288, 0xEE);
    ASSERT_EQ(reader.readAt(out.data(), 524288, size - 4096), 4096);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 4096, reader.bytes().end() - 4096));
    EXPECT_TRUE(std::all_of(out.begin() + 4096, out.end(), [](uint8_t b) { return b == 0; }));
}

TEST(ReadAt, ReadAtOrPastTheEndReturnsZeroWithoutAnError) {
    MemoryReader reader(countingBytes(4096));
    setLastErrorText("earlier");
    std::vector<uint8_t> out(512, 0xEE);
    EXPECT_EQ(reader.readAt(out.data(), 512, 4096), 0);
    EXPECT_EQ(reader.readAt(out.data(), 100, 5000), 0);
    EXPECT_EQ(lastErrorText(), "earlier");
    clearLastErrorText();
}

TEST(ReadAt, UnalignedReadEndingPastTheMediumCountsOnlyRealBytes) {
    MemoryReader reader(countingBytes(1050));
    std::vector<uint8_t> out(100, 0xEE);
    // 50 bytes exist at 1000..1049; the rest lies past the end.
    EXPECT_EQ(reader.readAt(out.data(), 100, 1000), 50);
    EXPECT_TRUE(std::all_of(out.begin() + 50, out.end(), [](uint8_t b) { return b == 0; }));
    // A request wholly past the end inside the last sector delivers nothing.
    EXPECT_EQ(reader.readAt(out.data(), 10, 1060), 0);
}

TEST(ReadAt, BounceBufferServesRequestsLargerThanItsFirstCapacity) {
    const auto bytes = countingBytes(300000);
    MemoryReader reader(bytes);
    std::vector<uint8_t> out(200000);
    ASSERT_EQ(reader.readAt(out.data(), 200000, 3), 200000);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 3));
    ASSERT_EQ(reader.readAt(out.data(), 7, 299990), 7);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 7, bytes.begin() + 299990));
}

TEST(ReadAt, AlignedBufferFlagForcesTheBounceBufferForMisalignedCallers) {
    const auto bytes = countingBytes(8192);
    RecordingReader reader(bytes);
    reader.openFlags = kOpenAlignedBuffers;
    std::vector<uint8_t> storage(4096 + 1);
    uint8_t* misaligned = storage.data() + 1;
    if (reinterpret_cast<uintptr_t>(misaligned) % 512 == 0)
        misaligned = storage.data();
    ASSERT_EQ(reader.readAt(misaligned, 512, 512), 512);
    EXPECT_NE(reader.reads[0].second, 0u);
    EXPECT_TRUE(std::equal(misaligned, misaligned + 512, bytes.begin() + 512));
}

TEST(Geometry, MediumWithoutGeometryGetsOneHeadOneSector) {
    MemoryReader reader(std::vector<uint8_t>(1 << 20));
    reader.headsPerCylinder = 0;
    reader.sectorsPerTrack = 0;
    reconcileGeometry(reader, 1 << 20);
    EXPECT_EQ(reader.headsPerCylinder, 1u);
    EXPECT_EQ(reader.sectorsPerTrack, 1u);
    EXPECT_EQ(reader.cylinders, (1u << 20) / 512);
    EXPECT_EQ(reader.size, 1u << 20);
}

TEST(Geometry, MissingSizeIsTakenFromTheGeometry) {
    MemoryReader reader(std::vector<uint8_t>(512));
    reader.cylinders = 10;
    reader.headsPerCylinder = 16;
    reader.sectorsPerTrack = 63;
    reconcileGeometry(reader, 0);
    EXPECT_EQ(reader.size, 10u * 16 * 63 * 512);
}

TEST(Geometry, SizeThatDisagreesWithCylindersWins) {
    MemoryReader reader(std::vector<uint8_t>(512));
    reader.cylinders = 3;
    reader.headsPerCylinder = 255;
    reader.sectorsPerTrack = 63;
    const uint64_t size = 1000ull * 255 * 63 * 512 + 4096;
    reconcileGeometry(reader, size);
    EXPECT_EQ(reader.cylinders, 1000u);
    EXPECT_EQ(reader.size, size);
}

class ImageFile : public ::testing::Test {
  protected:
    test::TempDir dir;
};

TEST_F(ImageFile, OpensReadOnlyWithFlatGeometry) {
    const auto path = dir.path() / "card.img";
    test::writeFile(path, countingBytes(10 * 512 + 100));
    std::string why;
    auto reader = openImage(path.string(), why);
    ASSERT_TRUE(reader) << why;
    EXPECT_EQ(reader->size, 10u * 512 + 100);
    EXPECT_EQ(reader->sectorSize, 512u);
    EXPECT_EQ(reader->cylinders, 10u);
    EXPECT_EQ(reader->headsPerCylinder, 1u);
    EXPECT_EQ(reader->sectorsPerTrack, 1u);
    EXPECT_EQ(reader->devicePath, path.string());
    std::vector<uint8_t> out(200);
    EXPECT_EQ(reader->readAt(out.data(), 200, 5100), 120);
}

TEST_F(ImageFile, RefusesMissingEmptyAndFolderImagesWithAReason) {
    std::string why;
    EXPECT_FALSE(openImage((dir.path() / "missing.img").string(), why));
    EXPECT_NE(why.find("missing.img"), std::string::npos);
    test::writeFile(dir.path() / "empty.img", {});
    why.clear();
    EXPECT_FALSE(openImage((dir.path() / "empty.img").string(), why));
    EXPECT_NE(why.find("empty"), std::string::npos);
    why.clear();
    EXPECT_FALSE(openImage(dir.path().string(), why));
    EXPECT_NE(why.find("folder"), std::string::npos);
}

TEST_F(ImageFile, ImageThatShrinksUnderTheReaderReportsAReadError) {
    const auto path = dir.path() / "card.img";
    test::writeFile(path, countingBytes(8192));
    std::string why;
    auto reader = openImage(path.string(), why);
    ASSERT_TRUE(reader);
    std::filesystem::resize_file(path, 1024);
    clearLastErrorText();
    std::vector<uint8_t> out(512);
    EXPECT_EQ(reader->readAt(out.data(), 512, 4096), 0);
    EXPECT_EQ(lastErrorText().rfind("Error in ReadFile.\nError Code:", 0), 0u) << lastErrorText();
    clearLastErrorText();
}

TEST_F(ImageFile, ReadErrorTextCarriesTheSystemsOwnWords) {
    const auto path = dir.path() / "card.img";
    test::writeFile(path, countingBytes(8192));
    std::string why;
    auto reader = openImage(path.string(), why);
    ASSERT_TRUE(reader);
    std::filesystem::resize_file(path, 512);
    clearLastErrorText();
    std::vector<uint8_t> out(1024);
    EXPECT_EQ(reader->readAt(out.data(), 1024, 2048), 0);
    const std::string text = lastErrorText();
    const size_t description = text.find("\nDescription:");
    ASSERT_NE(description, std::string::npos) << text;
    const std::string words = text.substr(description + 13);
    EXPECT_GE(words.size(), 3u) << text;
    EXPECT_NE(words.back(), '\n') << "the system's line end is not part of the text";
    clearLastErrorText();
}

}  // namespace
}  // namespace salvora

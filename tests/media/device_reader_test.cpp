// The platform's drive opener, run on what every test machine has: a plain
// file standing in for a drive (the drive queries all fail on it, so every
// fallback is taken) and a drive that does not exist.
#include "media/device_reader.h"

#include <gtest/gtest.h>

#include "media/error_text.h"
#include "support/test_files.h"

namespace salvora {
namespace {

std::vector<uint8_t> sectorsNumbered(size_t count) {
    std::vector<uint8_t> bytes(count * 512);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i / 512 + i % 7);
    return bytes;
}

TEST(DeviceReader, FileWithoutDriveQueriesIsProbedAndSizedByItsLength) {
    test::TempDir dir;
    const auto path = dir.path() / "drive.bin";
    const auto bytes = sectorsNumbered(300);
    test::writeFile(path, bytes);
    std::string why;
    auto reader = openDevice(path.string(), nullptr, kDefaultOpenFlags, &why);
    ASSERT_TRUE(reader) << why;
    EXPECT_EQ(reader->sectorSize, 512u);
    EXPECT_EQ(reader->size, bytes.size());
    EXPECT_EQ(reader->headsPerCylinder, 1u);
    EXPECT_EQ(reader->sectorsPerTrack, 1u);
    EXPECT_EQ(reader->cylinders, 300u);
    EXPECT_EQ(reader->openFlags, kDefaultOpenFlags);
    EXPECT_EQ(reader->devicePath, path.string());
    // Nothing identified a plain file.
    EXPECT_TRUE(reader->model.empty());
    EXPECT_EQ(reader->fixedMedia, 0u);

    // The probing reads moved the position; reads still land where asked.
    std::vector<uint8_t> out(1024);
    ASSERT_EQ(reader->readAt(out.data(), 1000, 70000), 1000);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 1000, bytes.begin() + 70000));
    // A read across the end delivers the rest and zero-fills.
    ASSERT_EQ(reader->readAt(out.data(), 1024, bytes.size() - 512), 512);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 512, bytes.end() - 512));
    EXPECT_TRUE(std::all_of(out.begin() + 512, out.begin() + 1024, [](uint8_t b) { return b == 0; }));
}

TEST(DeviceReader, EmptyDriveIsNotOpened) {
    test::TempDir dir;
    const auto path = dir.path() / "empty.bin";
    test::writeFile(path, {});
    std::string why;
    EXPECT_FALSE(openDevice(path.string(), nullptr, kDefaultOpenFlags, &why));
    EXPECT_NE(why.find("size of 0"), std::string::npos) << why;
}

TEST(DeviceReader, MissingDriveIsNotOpenedAndSaysWhich) {
    test::TempDir dir;
    const std::string path = (dir.path() / "PhysicalDrive99").string();
    std::string why;
    clearLastErrorText();
    EXPECT_FALSE(openDevice(path, nullptr, kDefaultOpenFlags, &why));
    EXPECT_NE(why.find(path), std::string::npos) << why;
    EXPECT_EQ(lastErrorText(), "");                              // an open failure is no read error
    EXPECT_FALSE(openDevice(path, nullptr, kDefaultOpenFlags));  // no reason wanted
}

}  // namespace
}  // namespace salvora

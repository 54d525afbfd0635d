// The block-device reader on a real Linux block device: a loop device over
// an image file (needs root and the loop driver; skipped otherwise).
#include <gtest/gtest.h>

#include <string>

#include "media/device_reader.h"
#include "support/loop_device.h"
#include "support/test_files.h"

namespace salvora {
namespace {

TEST(BlockDevice, LoopDeviceOpensWithItsSizeAndReadsLikeTheImage) {
    test::TempDir dir;
    std::vector<uint8_t> bytes(3 << 20);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 13 + i / 4093);
    const auto image = dir.path() / "card.img";
    test::writeFile(image, bytes);
    test::LoopDevice loop(image.string());
    if (loop.path().empty())
        GTEST_SKIP() << "no loop device available (needs root)";

    std::string why;
    auto reader = openDevice(loop.path(), nullptr, kDefaultOpenFlags, &why);
    ASSERT_TRUE(reader) << why;
    EXPECT_EQ(reader->size, bytes.size());
    EXPECT_EQ(reader->sectorSize, 512u);
    EXPECT_GE(reader->cylinders, 1u);
    EXPECT_EQ(reader->devicePath, loop.path());
    std::vector<uint8_t> out(700);
    ASSERT_EQ(reader->readAt(out.data(), 700, 1000), 700);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 1000));
    std::vector<uint8_t> tail(524288);
    EXPECT_EQ(reader->readAt(tail.data(), 524288, bytes.size() - 4096), 4096);
    EXPECT_EQ(reader->readAt(tail.data(), 512, bytes.size()), 0);
}

}  // namespace
}  // namespace salvora

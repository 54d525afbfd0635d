#include <gtest/gtest.h>

#include "support/recovery_harness.h"

namespace salvora {
namespace {

using test::dataPath;
using test::ImageBuilder;
using test::readFile;
using test::recoverImage;

const std::vector<std::string> kPhotos{"jpeg/camera_640x480.jpg", "jpeg/camera_320x240.jpg",
                                       "jpeg/jfif_exif_160x120.jpg", "jpeg/progressive_96x64.jpg",
                                       "jpeg/jfif_plain_200x150.jpg"};

std::string name(int number) {
    char text[32];
    std::snprintf(text, sizeof text, "KV%05d.jpg", number);
    return text;
}

// Lays the files out back to back, each starting on a cluster boundary, the
// way a camera fills a freshly formatted card.
TEST(JpegRecovery, PhotosOnACardComeBackByteIdenticalInOrder) {
    const size_t cluster = 4096;
    ImageBuilder image(1 << 20);
    std::vector<std::vector<uint8_t>> photos;
    size_t offset = 3 * cluster;
    for (const std::string& path : kPhotos) {
        photos.push_back(readFile(dataPath(path)));
        image.place(offset, photos.back());
        offset += (photos.back().size() + cluster - 1) / cluster * cluster;
    }
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"jpg"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    ASSERT_EQ(recovery.files.size(), photos.size());
    EXPECT_EQ(recovery.savedCounter, photos.size());
    for (size_t i = 0; i < photos.size(); ++i) {
        ASSERT_TRUE(recovery.files.count(name(static_cast<int>(i)))) << name(static_cast<int>(i));
        EXPECT_EQ(recovery.files.at(name(static_cast<int>(i))), photos[i]) << kPhotos[i];
    }
}

}  // namespace
}  // namespace salvora

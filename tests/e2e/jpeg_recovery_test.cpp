#include <gtest/gtest.h>

#include <cstring>

#include "formats/search.h"
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

// Two accepted starts that are later dropped (no end-of-image marker) at 512
// and 1024 make the scan run with 512-byte blocks from offset 0, so its
// refills start every 459,264 bytes.
void placeDecoys(ImageBuilder& image) {
    const std::vector<uint8_t> decoy{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I',  'F',  0,    1,
                                     1,    0,    0,    1,    0,    1,    0,   0,   0xFF, 0xC0, 0x00, 0x11};
    image.place(512, decoy);
    image.place(1024, decoy);
}

constexpr size_t kRefillBoundary = 459264;

// Sweeps the start of each photo across a refill boundary of the scan, so
// that its header, its Exif thumbnail and its end marker each straddle it.
TEST(JpegRecovery, PhotoStraddlingARefillBoundaryComesBackWhole) {
    for (const std::string& path : {kPhotos[0], kPhotos[2], kPhotos[3]}) {
        const auto photo = readFile(dataPath(path));
        const size_t first = (kRefillBoundary - photo.size() - 1024) / 512 * 512;
        for (size_t start = first; start <= kRefillBoundary + 1024; start += 512) {
            ImageBuilder image(kRefillBoundary + 200 * 1024);
            placeDecoys(image);
            image.place(start, photo);
            const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"jpg"}));
            ASSERT_EQ(recovery.files.size(), 1u) << path << " at " << start;
            ASSERT_EQ(recovery.files.begin()->second, photo) << path << " at " << start;
            EXPECT_EQ(recovery.saved.at(0).startOffset, start);
        }
    }
}

// Inserts a comment segment after the start of image so that the photo's
// last end-of-image marker lands at `footerAt` modulo 4096.
std::vector<uint8_t> withFooterAt(const std::vector<uint8_t>& photo, size_t footerAt) {
    const size_t footer = photo.size() - 2;
    const size_t padding = (footerAt + 4096 - footer % 4096) % 4096 + 4096;
    const size_t length = padding - 2;
    std::vector<uint8_t> out(photo.size() + padding, 'c');
    std::copy(photo.begin(), photo.begin() + 2, out.begin());
    out[2] = 0xFF;
    out[3] = 0xFE;
    out[4] = static_cast<uint8_t>(length >> 8);
    out[5] = static_cast<uint8_t>(length);
    std::copy(photo.begin() + 2, photo.end(), out.begin() + 2 + static_cast<long>(padding));
    return out;
}

TEST(JpegRecovery, EndMarkerAcrossAFooterSearchChunkIsFound) {
    const auto photo = readFile(dataPath("jpeg/jfif_plain_200x150.jpg"));
    for (size_t footerAt : {4093u, 4094u, 4095u, 0u, 1u}) {
        const auto padded = withFooterAt(photo, footerAt);
        ASSERT_EQ((padded.size() - 2) % 4096, footerAt);
        ImageBuilder image(256 * 1024);
        image.place(8192, padded);
        const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"jpg"}));
        ASSERT_EQ(recovery.files.size(), 1u) << footerAt;
        EXPECT_EQ(recovery.files.begin()->second, padded) << footerAt;
    }
}

// Offset of the Exif thumbnail inside a camera JPEG (APP1 right after the start of image).
size_t thumbnailOffset(const std::vector<uint8_t>& photo) {
    const size_t tiff = 2 + 10;
    const size_t length = (photo[4] << 8 | photo[5]) - 8;
    const auto value = findTiffTag(photo.data() + tiff, length, 0x0201);
    return value ? tiff + static_cast<size_t>(*value) : 0;
}

TEST(JpegRecovery, PhotoWithABrokenThumbnailMarkerIsDropped) {
    auto photo = readFile(dataPath("jpeg/camera_320x240.jpg"));
    const size_t thumbnail = thumbnailOffset(photo);
    ASSERT_GT(thumbnail, 0u);
    ASSERT_EQ(photo[thumbnail], 0xFF);
    ASSERT_EQ(photo[thumbnail + 2], 0xFF);
    photo[thumbnail + 2] = 0x00;  // the thumbnail's first marker after its start of image
    ImageBuilder image(256 * 1024);
    image.place(4096, photo);
    image.place(4096 * 8, readFile(dataPath("jpeg/jfif_plain_200x150.jpg")));
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"jpg"}));
    ASSERT_EQ(recovery.files.size(), 1u);
    EXPECT_EQ(recovery.files.begin()->second, readFile(dataPath("jpeg/jfif_plain_200x150.jpg")));
    EXPECT_EQ(recovery.files.begin()->first, "KV00000.jpg");
}

TEST(JpegRecovery, TruncatedPhotoWithoutEndMarkerIsDropped) {
    const auto photo = readFile(dataPath("jpeg/jfif_plain_200x150.jpg"));
    ImageBuilder image(128 * 1024);
    image.place(4096, std::vector<uint8_t>(photo.begin(), photo.begin() + 3000));
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"jpg"}));
    EXPECT_TRUE(recovery.files.empty());
}

// Regression: a camera photo cut short after its Exif thumbnail holds only
// the thumbnail's end marker; it must be dropped, not saved as a picture
// without image data.
TEST(JpegRecovery, TruncatedPhotoEndingInsideItsImageDataIsDropped) {
    const auto photo = readFile(dataPath("jpeg/camera_640x480.jpg"));
    ImageBuilder image(256 * 1024);
    image.place(4096, std::vector<uint8_t>(photo.begin(), photo.begin() + photo.size() / 2));
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"jpg"}));
    EXPECT_TRUE(recovery.files.empty());
}

TEST(JpegRecovery, NoiseMakesNoFilesAndPhotosAfterItComeBack) {
    ImageBuilder image(2 << 20);
    image.noise(0, 1 << 20, 42);
    std::vector<std::vector<uint8_t>> photos;
    size_t offset = 1 << 20;
    for (const std::string& path : kPhotos) {
        photos.push_back(readFile(dataPath(path)));
        image.place(offset, photos.back());
        offset += (photos.back().size() + 511) / 512 * 512;
    }
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"jpg"}));
    ASSERT_EQ(recovery.files.size(), photos.size());
    size_t i = 0;
    for (const auto& [name, bytes] : recovery.files)
        EXPECT_EQ(bytes, photos[i++]) << name;
}

}  // namespace
}  // namespace salvora

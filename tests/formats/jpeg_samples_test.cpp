#include <gtest/gtest.h>

#include <filesystem>

#include "formats/jpeg.h"
#include "support/recovery_harness.h"

namespace salvora {
namespace {

std::vector<std::string> cameraSamples() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(test::dataPath("samples"))) {
        if (entry.path().extension() == ".jpg")
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// JPEGs written by real cameras and programs start the way the recogniser expects.
TEST(JpegSamples, EveryCameraJpegIsRecognised) {
    const auto names = cameraSamples();
    ASSERT_GE(names.size(), 15u);
    for (const std::string& name : names) {
        auto window = test::readFile(test::dataPath("samples/" + name));
        window.resize(std::max<size_t>(window.size(), 65536), 0);
        CarveCandidate none, fresh;
        EXPECT_EQ(recogniseJpeg(window.data(), static_cast<uint32_t>(window.size()), 0, none, fresh), 1u)
            << name;
        EXPECT_GE(fresh.minSize, 288u) << name;
    }
}

// The sample files have their Exif thumbnails replaced by a text placeholder:
// their thumbnail structure is broken, so they are dropped; a sample without
// thumbnail comes back whole.
TEST(JpegSamples, PlaceholderThumbnailsAreDroppedAndAPhotoWithoutOneIsKept) {
    test::ImageBuilder image(512 * 1024);
    const auto apple = test::readFile(test::dataPath("samples/Apple.jpg"));
    const auto canon = test::readFile(test::dataPath("samples/Canon.jpg"));
    image.place(8192, apple);
    image.place(65536, canon);
    const auto recovery = test::recoverImage(image.bytes(), test::onlyFamilies({"jpg"}));
    ASSERT_EQ(recovery.files.size(), 1u);
    EXPECT_EQ(recovery.files.begin()->second, canon);
}

}  // namespace
}  // namespace salvora

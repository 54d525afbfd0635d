// A whole recovery the way the programs run one: a card image in a file,
// opened with the platform's image reader, recovered into a folder whose
// name is not plain ASCII.
#include <gtest/gtest.h>

#include <filesystem>

#include "carve/scan.h"
#include "carve/search_space.h"
#include "media/error_text.h"
#include "media/image_reader.h"
#include "support/recovery_harness.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TEST(ImageFileRecovery, PhotosComeBackFromAnImageFileIntoAFolderWithAnyName) {
    const std::vector<std::string> sources{"jpeg/camera_640x480.jpg", "jpeg/progressive_96x64.jpg",
                                           "jpeg/jfif_plain_200x150.jpg"};
    const size_t cluster = 4096;
    std::vector<std::vector<uint8_t>> photos;
    std::vector<size_t> offsets;
    size_t offset = 5 * cluster;
    for (const std::string& source : sources) {
        photos.push_back(test::readFile(test::dataPath(source)));
        offsets.push_back(offset);
        offset += (photos.back().size() + cluster - 1) / cluster * cluster;
    }
    // The image ends in the last photo's last sector: the final read of the
    // scan is a short one at the end of the file.
    test::ImageBuilder image((offsets.back() + photos.back().size() + 511) / 512 * 512);
    for (size_t i = 0; i < photos.size(); ++i)
        image.place(offsets[i], photos[i]);

    test::TempDir dir;
    const fs::path card = dir.path() / fs::path(u8"Karte \u00C4 \u5361.img");
    test::writeFile(card, image.bytes());
    const fs::path folder = dir.path() / fs::path(u8"Gerettete Fotos \u00DC \U0001F4F7");
    fs::create_directory(folder);

    std::string why;
    auto medium = openImage(utf8(card), why);
    ASSERT_TRUE(medium) << why;
    EXPECT_EQ(medium->size, image.bytes().size());
    SearchSpace space;
    initFromPartition(space, *medium, 0, 0);
    ScanObserver quiet;
    uint32_t saved = 0;
    clearLastErrorText();
    const int32_t result = runScan(*medium, utf8(folder) + static_cast<char>(fs::path::preferred_separator),
                                   test::onlyFamilies({"jpg"}), space, 0, quiet, saved);
    ASSERT_EQ(result, kScanFinished) << lastErrorText();
    EXPECT_EQ(saved, photos.size());
    for (size_t i = 0; i < photos.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "KV%05zu.jpg", i);
        ASSERT_TRUE(fs::exists(folder / name)) << name;
        EXPECT_EQ(test::readFile(folder / name), photos[i]) << sources[i];
    }
}

}  // namespace
}  // namespace salvora

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/recovery_harness.h"

namespace salvora {
namespace {

using test::dataPath;
using test::ImageBuilder;
using test::readFile;
using test::recoverImage;

struct Expected {
    std::string path;
    std::string extension;  // empty: the file is dropped
    size_t size = 0;        // 0: up to the next file's cluster
};

// Real camera files, back to back on 4096-byte clusters, with every camera
// family enabled at once. Sizes: the TIFF-based files end with their last
// referenced data, a CRW 12 bytes after its last heap record tag, a DNG keeps
// all that was written, and formats without an end rule run to the next file.
TEST(CameraRawRecovery, CameraFilesComeBackNamedAndSized) {
    const std::vector<Expected> files{
        {"samples/CanonRaw.crw", "crw", 6256},  // the bytes after the heap are another program's trailer
        {"samples/Nikon.nef", "nef", 6188},    {"samples/FujiFilm.raf", "raf", 0},
        {"samples/CanonRaw.cr2", "cr2", 8706},  // the last 18 bytes belong to no directory
        {"samples/Panasonic.rw2", "raw", 0},   {"samples/DNG.dng", "dng", 0},
        {"samples/Minolta.mrw", "", 0},  // its header wants 12 MB of sensor data: cut short, dropped
        {"samples/KyoceraRaw.raw", "raw", 0},  {"samples/Sigma.x3f", "x3f", 0},
        {"samples/SigmaDP2.x3f", "x3f", 0},    {"samples/ExifTool.tif", "tif", 4864},
        {"samples/GeoTiff.tif", "tif", 2660},
    };
    const size_t cluster = 4096;
    ImageBuilder image(1 << 20);
    std::vector<size_t> offsets;
    std::vector<std::vector<uint8_t>> contents;
    size_t offset = cluster;
    for (const Expected& file : files) {
        contents.push_back(readFile(dataPath(file.path)));
        image.place(offset, contents.back());
        offsets.push_back(offset);
        offset += (contents.back().size() + cluster - 1) / cluster * cluster;
    }
    offsets.push_back(offset);

    const test::Recovery recovery =
        recoverImage(image.bytes(), test::onlyFamilies({"tif", "raw", "orf", "crw", "x3f", "mrw", "raf"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    size_t kept = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const auto saved =
            std::find_if(recovery.saved.begin(), recovery.saved.end(),
                         [&](const SavedFile& file) { return file.startOffset == offsets[i]; });
        if (files[i].extension.empty()) {
            EXPECT_EQ(saved, recovery.saved.end()) << files[i].path;
            continue;
        }
        ASSERT_NE(saved, recovery.saved.end()) << files[i].path;
        EXPECT_EQ(saved->extension, files[i].extension) << files[i].path;
        const size_t size = files[i].size ? files[i].size : offsets[i + 1] - offsets[i];
        EXPECT_EQ(saved->size, size) << files[i].path;
        const std::vector<uint8_t>& content =
            recovery.files.at(std::filesystem::path(saved->path).filename().string());
        const size_t compared = std::min(size, contents[i].size());
        ASSERT_GE(content.size(), compared);
        EXPECT_TRUE(std::equal(contents[i].begin(), contents[i].begin() + static_cast<long>(compared),
                               content.begin()))
            << files[i].path;
        ++kept;
    }
    EXPECT_EQ(recovery.saved.size(), kept);
}

}  // namespace
}  // namespace salvora

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "formats/ole.h"
#include "support/recovery_harness.h"

namespace salvora {
namespace {

using test::dataPath;
using test::ImageBuilder;
using test::readFile;
using test::recoverImage;

struct Placed {
    std::string path;
    std::vector<uint8_t> bytes;
    size_t offset = 0;
};

// Lays the files out back to back, each starting on a cluster boundary, the
// way a camera or a computer fills a freshly formatted card.
std::vector<Placed> layOut(ImageBuilder& image, const std::vector<std::string>& paths, size_t cluster,
                           size_t offset) {
    std::vector<Placed> placed;
    for (const std::string& path : paths) {
        Placed file{path, readFile(dataPath(path)), offset};
        image.place(offset, file.bytes);
        offset += (file.bytes.size() + cluster - 1) / cluster * cluster;
        placed.push_back(std::move(file));
    }
    return placed;
}

std::string name(size_t number, const std::string& extension) {
    char text[32];
    std::snprintf(text, sizeof text, "KV%05u.%s", static_cast<unsigned>(number), extension.c_str());
    return text;
}

const SavedFile* savedAt(const test::Recovery& recovery, size_t offset) {
    for (const SavedFile& file : recovery.saved) {
        if (file.startOffset == offset)
            return &file;
    }
    return nullptr;
}

TEST(TiffOfficeRecovery, FilesOnACardComeBackByteIdenticalWithTheirExtensions) {
    const std::vector<std::pair<std::string, std::string>> files{
        {"tiff/gradient_le.tif", "tif"}, {"office/letter.doc", "doc"},   {"tiff/gradient_be.tif", "tif"},
        {"office/sheet.xls", "xls"},     {"tiff/strips_le.tif", "tif"},  {"tiff/strips_be.tif", "tif"},
        {"office/slides.ppt", "ppt"},    {"tiff/tiles_le.tif", "tif"},   {"tiff/pages_be.tif", "tif"},
        {"tiff/exif_be.tif", "tif"},     {"tiff/kodak_make.tif", "dcr"}, {"samples/Nikon.nef", "nef"},
    };
    std::vector<std::string> paths;
    for (const auto& file : files)
        paths.push_back(file.first);
    ImageBuilder image(1 << 20);
    const std::vector<Placed> placed = layOut(image, paths, 4096, 2 * 4096);

    const test::Recovery recovery = recoverImage(image.bytes(), test::onlyFamilies({"tif", "doc"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    ASSERT_EQ(recovery.files.size(), files.size());
    EXPECT_EQ(recovery.savedCounter, files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string expected = name(i, files[i].second);
        ASSERT_TRUE(recovery.files.count(expected)) << expected << " for " << files[i].first;
        EXPECT_EQ(recovery.files.at(expected), placed[i].bytes) << files[i].first;
    }
}

// The window of the .doc reaches into the spreadsheet after it, so it starts
// out as an "xls"; its directory makes it a "doc" again.
TEST(TiffOfficeRecovery, DirectoryCorrectsTheExtensionTheKeywordsChose) {
    ImageBuilder image(256 * 1024);
    const std::vector<Placed> placed = layOut(image, {"office/letter.doc", "office/sheet.xls"}, 4096, 4096);
    CarveCandidate current;
    CarveCandidate fresh;
    ASSERT_EQ(recogniseOle(image.bytes().data() + placed[0].offset, 65536, 0, current, fresh), 1u);
    ASSERT_STREQ(fresh.extension, "xls");

    const test::Recovery recovery = recoverImage(image.bytes(), test::onlyFamilies({"doc"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    ASSERT_EQ(recovery.files.size(), 2u);
    EXPECT_EQ(recovery.files.at("KV00000.doc"), placed[0].bytes);
    EXPECT_EQ(recovery.files.at("KV00001.xls"), placed[1].bytes);
}

TEST(TiffOfficeRecovery, TiffAndItsBigEndianTwinEndAtTheSameOffset) {
    ImageBuilder image(128 * 1024);
    const std::vector<Placed> placed =
        layOut(image, {"tiff/strips_le.tif", "tiff/strips_be.tif"}, 8192, 8192);
    image.noise(placed[1].offset + placed[1].bytes.size(), image.bytes().size(), 7);
    const test::Recovery recovery = recoverImage(image.bytes(), test::onlyFamilies({"tif"}));
    ASSERT_EQ(recovery.saved.size(), 2u);
    EXPECT_EQ(recovery.saved[0].size, recovery.saved[1].size);
    EXPECT_EQ(recovery.saved[0].size, placed[0].bytes.size());
}

TEST(TiffOfficeRecovery, TruncatedTiffAndDocumentAreDroppedAndTheirNeighboursKept) {
    const size_t cluster = 512;
    ImageBuilder image(1 << 20);
    // This TIFF keeps its directory first and its data after it; the document its FAT first.
    std::vector<uint8_t> tiff = readFile(dataPath("samples/ExifTool.tif"));
    tiff.resize(2048);
    std::vector<uint8_t> letter = readFile(dataPath("office/letter.doc"));
    letter.resize(4096);
    std::vector<uint8_t> slides = readFile(dataPath("office/slides.ppt"));
    slides.resize(200 * 1024);
    const std::vector<uint8_t> sheet = readFile(dataPath("office/sheet.xls"));
    const std::vector<uint8_t> strips = readFile(dataPath("tiff/strips_be.tif"));
    image.place(1024, tiff);
    image.place(1024 + 2048, sheet);
    image.place(9216, letter);
    image.place(9216 + 4096, strips);
    image.place(16384, slides);
    image.place(16384 + 200 * 1024, sheet);

    const test::Recovery recovery = recoverImage(image.bytes(), test::onlyFamilies({"tif", "doc"}), cluster);
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(savedAt(recovery, 1024), nullptr);
    EXPECT_EQ(savedAt(recovery, 9216), nullptr);
    EXPECT_EQ(savedAt(recovery, 16384), nullptr);
    ASSERT_EQ(recovery.saved.size(), 3u);
    ASSERT_EQ(recovery.files.size(), 3u);
    EXPECT_EQ(recovery.files.at("KV00000.xls"), sheet);
    EXPECT_EQ(recovery.files.at("KV00001.tif"), strips);
    EXPECT_EQ(recovery.files.at("KV00002.xls"), sheet);
}

}  // namespace
}  // namespace salvora

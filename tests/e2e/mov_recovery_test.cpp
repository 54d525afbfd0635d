// Movies and JPEG 2000 pictures laid in a card image come back through a
// whole recovery, cut at the end of their last top-level atom.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "e2e/card_layout.h"
#include "support/recovery_harness.h"

namespace salvora {
namespace {

using test::dataPath;
using test::ImageBuilder;
using test::readFile;
using test::recoverImage;

constexpr size_t kCluster = 4096;

struct Expected {
    std::string path;       // under tests/data
    std::string extension;  // of the recovered file
    size_t length;          // bytes that come back; 0 = the whole file
};

std::string name(size_t number, const std::string& extension) {
    char text[32];
    std::snprintf(text, sizeof text, "KV%05u.", static_cast<unsigned>(number));
    return text + extension;
}

size_t roundUp(size_t n) {
    return (n + kCluster - 1) / kCluster * kCluster;
}

std::vector<uint8_t> head(const std::vector<uint8_t>& bytes, size_t length) {
    return {bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length == 0 ? bytes.size() : length)};
}

// Lays the files one after the other on cluster boundaries (zeros in the
// slack after each, as on a freshly formatted card) and checks each in order.
void expectRecovered(const std::vector<Expected>& files) {
    std::vector<std::vector<uint8_t>> contents;
    size_t total = 3 * kCluster;
    for (const Expected& file : files) {
        contents.push_back(readFile(dataPath(file.path)));
        total += roundUp(contents.back().size()) + kCluster;
    }
    ImageBuilder image(total + 4 * kCluster);
    size_t offset = 3 * kCluster;
    for (size_t i = 0; i < files.size(); ++i) {
        image.place(offset, contents[i]);
        offset += roundUp(contents[i].size()) + kCluster;
    }
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"mov"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(recovery.savedCounter, files.size());
    ASSERT_EQ(recovery.files.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string expected = name(i, files[i].extension);
        ASSERT_TRUE(recovery.files.count(expected)) << files[i].path << " not saved as " << expected;
        EXPECT_EQ(recovery.files.at(expected), head(contents[i], files[i].length)) << files[i].path;
    }
}

TEST(MovRecovery, FfmpegMoviesComeBackByteIdenticalWithTheirExtension) {
    expectRecovered({{"movie/clip.mp4", "mp4", 0},
                     {"movie/clip.mov", "mov", 0},
                     {"movie/clip.3gp", "3gp", 0},
                     {"movie/faststart.mp4", "mp4", 0},
                     {"samples/QuickTime.mov", "mov", 0}});
}

// Regression: the codestream box was not followed, so a picture ended with
// the box before it (a 1920-pixel picture came back as 77 bytes). Every box
// is walked to the end of the codestream box.
TEST(MovRecovery, Jpeg2000PicturesComeBackWholeToTheEndOfTheirCodestream) {
    expectRecovered({{"movie/picture.jp2", "jp2", 0},
                     {"movie/wide_1920.jp2", "jp2", 0},
                     {"samples/Jpeg2000.jp2", "jp2", 0}});
}

// Noise after the movie: the first atom header after it is not of a known
// type, so the movie ends where its last atom ends.
TEST(MovRecovery, MovieFollowedByOtherDataIsCutAtItsLastAtom) {
    const std::vector<uint8_t> movie = readFile(dataPath("movie/clip.mp4"));
    ImageBuilder image(32 * kCluster);
    image.place(3 * kCluster, movie);
    image.noise(3 * kCluster + movie.size(), 12 * kCluster, 7);
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"mov"}));
    ASSERT_EQ(recovery.files.size(), 1u);
    EXPECT_EQ(recovery.files.at("KV00000.mp4"), movie);
}

// Regression: a deleted movie whose data other files were later written
// over still came back at the size its atoms give, with the photos inside it
// and no photo on its own. Its H.264 samples no longer hold their NAL units
// where a photo lies: the movie is kept whole but partial, and the photos
// come back too.
TEST(MovRecovery, PhotosWrittenOverADeletedMovieComeBackBesideIt) {
    const std::vector<uint8_t> faststart = readFile(dataPath("movie/h264_faststart.mp4"));  // 122,470 bytes
    const std::vector<uint8_t> moovLast = readFile(dataPath("movie/h264_moov_last.mp4"));   // 122,470 bytes
    const std::vector<uint8_t> photo = readFile(dataPath("jpeg/camera_320x240.jpg"));       // 16,516 bytes
    const std::vector<uint8_t> second = readFile(dataPath("jpeg/jfif_plain_200x150.jpg"));  // 4,717 bytes
    ImageBuilder image(1 << 20);
    image.place(4096, faststart);  // whole
    image.place(131072, faststart);
    image.place(131072 + 45056, photo);
    image.place(262144, moovLast);
    image.place(262144 + 57344, photo);
    image.place(262144 + 57344 + 20480, second);
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"jpg", "mov"}));
    ASSERT_EQ(recovery.result, kScanFinished);

    const SavedFile* whole = test::savedAt(recovery, 4096);
    ASSERT_NE(whole, nullptr);
    EXPECT_FALSE(whole->partial);
    EXPECT_EQ(test::contentOf(recovery, *whole), faststart);
    for (const uint64_t at : {uint64_t{131072}, uint64_t{262144}}) {
        const SavedFile* movie = test::savedAt(recovery, at);
        ASSERT_NE(movie, nullptr) << at;
        EXPECT_TRUE(movie->partial) << at;
        EXPECT_EQ(movie->extension, "mp4");
        EXPECT_EQ(test::contentOf(recovery, *movie),
                  std::vector<uint8_t>(image.bytes().begin() + static_cast<ptrdiff_t>(at),
                                       image.bytes().begin() + static_cast<ptrdiff_t>(at + 122470)))
            << at;
    }
    for (const auto& [at, bytes] :
         {std::pair{uint64_t{131072 + 45056}, photo}, std::pair{uint64_t{262144 + 57344}, photo},
          std::pair{uint64_t{262144 + 57344 + 20480}, second}}) {
        const SavedFile* saved = test::savedAt(recovery, at);
        ASSERT_NE(saved, nullptr) << at;
        EXPECT_FALSE(saved->partial) << at;
        EXPECT_EQ(test::contentOf(recovery, *saved), bytes) << at;
    }
    EXPECT_EQ(recovery.saved.size(), 6u);
}

// The same for a motion JPEG QuickTime movie and an MPEG-4 part 2 movie:
// their samples start with a picture's marker or a start code.
TEST(MovRecovery, PhotosWrittenOverMotionJpegAndMpeg4MoviesComeBackBesideThem) {
    const std::vector<uint8_t> mjpeg = readFile(dataPath("movie/mjpeg.mov"));              // 82,289 bytes
    const std::vector<uint8_t> mpeg4 = readFile(dataPath("movie/mpeg4.mp4"));              // 41,411 bytes
    const std::vector<uint8_t> photo = readFile(dataPath("jpeg/jfif_plain_200x150.jpg"));  // 4,717 bytes
    ImageBuilder image(1 << 20);
    image.place(4096, mjpeg);
    image.place(4096 + 28672, photo);
    image.place(131072, mpeg4);
    image.place(131072 + 16384, photo);
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"jpg", "mov"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    for (const auto& [at, size, extension] : {std::tuple{uint64_t{4096}, mjpeg.size(), "mov"},
                                              std::tuple{uint64_t{131072}, mpeg4.size(), "mp4"}}) {
        const SavedFile* movie = test::savedAt(recovery, at);
        ASSERT_NE(movie, nullptr) << at;
        EXPECT_TRUE(movie->partial) << at;
        EXPECT_EQ(movie->extension, extension);
        EXPECT_EQ(test::contentOf(recovery, *movie),
                  std::vector<uint8_t>(image.bytes().begin() + static_cast<ptrdiff_t>(at),
                                       image.bytes().begin() + static_cast<ptrdiff_t>(at + size)))
            << at;
    }
    for (const uint64_t at : {uint64_t{4096 + 28672}, uint64_t{131072 + 16384}}) {
        const SavedFile* saved = test::savedAt(recovery, at);
        ASSERT_NE(saved, nullptr) << at;
        EXPECT_EQ(test::contentOf(recovery, *saved), photo) << at;
    }
    EXPECT_EQ(recovery.saved.size(), 4u);
}

}  // namespace
}  // namespace salvora

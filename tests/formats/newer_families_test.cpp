// The families of the newer formats carve real files, made by the tools that
// write them (tests/data/make_new_formats.sh), to their exact length under
// their own extension, whatever block size the card has and whatever follows
// the file on it.
#include <gtest/gtest.h>

#include <random>

#include "formats/candidate_driver.h"
#include "formats/flac.h"
#include "formats/gif.h"
#include "formats/heif.h"
#include "formats/m4a.h"
#include "formats/matroska.h"
#include "formats/ogg.h"
#include "formats/png.h"
#include "formats/rar.h"
#include "formats/sevenzip.h"
#include "formats/sqlite.h"
#include "formats/webp.h"
#include "support/test_files.h"

namespace salvora {
namespace {

struct Sample {
    const char* path;
    RecogniseFn recognise;
    const char* extension;
};

const Sample kSamples[] = {
    {"picture/photo.png", recognisePng, "png"},
    {"picture/animated.gif", recogniseGif, "gif"},
    {"picture/still87a.gif", recogniseGif, "gif"},
    {"picture/lossy.webp", recogniseWebp, "webp"},
    {"picture/lossless.webp", recogniseWebp, "webp"},
    {"picture/animated.webp", recogniseWebp, "webp"},
    {"picture/photo.heic", recogniseHeif, "heic"},
    {"picture/photo.avif", recogniseHeif, "avif"},
    {"picture/crafted.cr3", recogniseHeif, "cr3"},
    {"audio/tone.flac", recogniseFlac, "flac"},
    {"audio/tone.ogg", recogniseOgg, "ogg"},
    {"audio/tone.opus", recogniseOgg, "opus"},
    {"audio/tone.m4a", recogniseM4a, "m4a"},
    {"video/clip.mkv", recogniseMatroska, "mkv"},
    {"video/clip.webm", recogniseMatroska, "webm"},
    {"video/live.mkv", recogniseMatroska, "mkv"},
    {"archive/notes.sqlite", recogniseSqlite, "sqlite"},
    {"archive/notes.7z", recogniseSevenZip, "7z"},
    {"archive/stored4.rar", recogniseRar, "rar"},
    {"archive/stored5.rar", recogniseRar, "rar"},
};

std::vector<uint8_t> noise(size_t length, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(length);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(random());
    return bytes;
}

std::vector<uint8_t> followedBy(std::vector<uint8_t> file, const std::vector<uint8_t>& after) {
    file.insert(file.end(), after.begin(), after.end());
    return file;
}

TEST(NewerFamilies, RealFilesAreRecognisedUnderTheirOwnExtension) {
    for (const Sample& sample : kSamples) {
        CarveCandidate fresh;
        ASSERT_TRUE(
            test::recogniseWindow(sample.recognise, test::readFile(test::dataPath(sample.path)), fresh))
            << sample.path;
        EXPECT_STREQ(fresh.extension, sample.extension) << sample.path;
        EXPECT_NE(fresh.blockCheck, nullptr) << sample.path;
    }
}

TEST(NewerFamilies, RealFilesEndExactlyAtEveryBlockSizeWhateverFollows) {
    for (const Sample& sample : kSamples) {
        const std::vector<uint8_t> file = test::readFile(test::dataPath(sample.path));
        for (const uint32_t blockSize : {512u, 1024u, 4096u, 32768u, 65536u}) {
            const std::vector<uint8_t> after[] = {std::vector<uint8_t>(3 * 65536, 0),
                                                  noise(3 * 65536, blockSize),
                                                  std::vector<uint8_t>(3 * 65536, 0xFF)};
            for (const auto& tail : after) {
                EXPECT_EQ(test::carve(sample.recognise, followedBy(file, tail), blockSize),
                          static_cast<int64_t>(file.size()))
                    << sample.path << " block " << blockSize << " followed by " << int(tail[1]);
            }
        }
    }
}

}  // namespace
}  // namespace salvora

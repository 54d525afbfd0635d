// Thousands of damaged copies of the real test files of the newer formats go
// through every newer recogniser, its block check over exact-length windows
// and its end check. Under the address sanitizer a read outside a window
// fails; the assertions catch a size that grows past what was written or a
// check that accepts a file at a length it never saw.
#include <gtest/gtest.h>

#include <map>
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

struct Recogniser {
    const char* name;
    RecogniseFn recognise;
};

const Recogniser kRecognisers[] = {
    {"png", recognisePng},       {"gif", recogniseGif},      {"webp", recogniseWebp}, {"heif", recogniseHeif},
    {"m4a", recogniseM4a},       {"mkv", recogniseMatroska}, {"flac", recogniseFlac}, {"ogg", recogniseOgg},
    {"sqlite", recogniseSqlite}, {"7z", recogniseSevenZip},  {"rar", recogniseRar},
};

const char* const kSeeds[] = {
    "picture/photo.png",     "picture/animated.gif", "picture/still87a.gif", "picture/lossy.webp",
    "picture/animated.webp", "picture/photo.heic",   "picture/crafted.cr3",  "audio/tone.flac",
    "audio/tone.ogg",        "audio/tone.opus",      "audio/tone.m4a",       "video/clip.mkv",
    "video/live.mkv",        "archive/notes.sqlite", "archive/notes.7z",     "archive/stored4.rar",
    "archive/stored5.rar",
};

const uint32_t kExtremes[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF8, 0xFFFFFFFF};

std::vector<uint8_t> mutate(std::vector<uint8_t> bytes, std::mt19937& random) {
    const int edits = 1 + static_cast<int>(random() % 5);
    for (int i = 0; i < edits && !bytes.empty(); ++i) {
        // Most edits go to the first kilobytes, where headers and first structures are.
        const size_t at =
            random() % 4 ? random() % std::min<size_t>(bytes.size(), 2048) : random() % bytes.size();
        switch (random() % 4) {
            case 0:
                bytes[at] = static_cast<uint8_t>(random());
                break;
            case 1: {
                const uint32_t value = kExtremes[random() % std::size(kExtremes)];
                for (size_t k = 0; k < 4 && at + k < bytes.size(); ++k)
                    bytes[at + k] = static_cast<uint8_t>(value >> (8 * (random() % 2 ? k : 3 - k)));
                break;
            }
            case 2:
                bytes.resize(at + 1);
                break;
            default:
                bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
                break;
        }
    }
    return bytes;
}

TEST(NewerFamiliesFuzz, DamagedFilesAreWalkedInsideTheirWindowsAndNeverGrow) {
    std::map<std::string, int> accepted;
    std::mt19937 random(17);
    for (const char* seed : kSeeds) {
        const std::vector<uint8_t> original = test::readFile(test::dataPath(seed));
        for (int round = 0; round < 250; ++round) {
            std::vector<uint8_t> media = mutate(original, random);
            const size_t fileLength = media.size();
            const size_t tail = random() % 9000;
            for (size_t i = 0; i < tail; ++i)
                media.push_back(static_cast<uint8_t>(random() % 3 ? random() : 0));
            for (const Recogniser& recogniser : kRecognisers) {
                // A window of the file's own length must be enough too.
                CarveCandidate own;
                const std::vector<uint8_t> exact(media.begin(),
                                                 media.begin() + static_cast<long>(fileLength));
                recogniser.recognise(exact.data(), static_cast<uint32_t>(exact.size()), 0, CarveCandidate{},
                                     own);
                const uint32_t blockSize = random() % 2 ? 512 : 4096;
                const int64_t size = test::carve(recogniser.recognise, media, blockSize);
                if (size < 0)
                    continue;
                ++accepted[recogniser.name];
                const std::string what =
                    std::string(seed) + " #" + std::to_string(round) + " / " + recogniser.name;
                ASSERT_LE(static_cast<uint64_t>(size), (media.size() + blockSize - 1) / blockSize * blockSize)
                    << what;
            }
        }
    }
    for (const Recogniser& recogniser : kRecognisers)
        EXPECT_GE(accepted[recogniser.name], 50) << recogniser.name << " was hardly exercised";
}

}  // namespace
}  // namespace salvora

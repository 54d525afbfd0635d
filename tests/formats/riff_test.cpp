#include "formats/riff.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "carve/shared_checks.h"
#include "formats/candidate_driver.h"
#include "formats/family_table.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::recogniseWindow;

std::vector<uint8_t> riff(const char* form, uint32_t size, bool bigEndian = false) {
    std::vector<uint8_t> bytes(64, 0);
    std::memcpy(bytes.data(), "RIFF", 4);
    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = static_cast<uint8_t>(size >> (bigEndian ? 24 - 8 * i : 8 * i));
    std::memcpy(bytes.data() + 8, form, std::strlen(form));
    return bytes;
}

// WebP pictures came back as .avi: their form type names them now.
TEST(RecogniseRiff, NamesAndSizesTheFileByItsFormType) {
    const struct {
        const char* form;
        const char* extension;
    } forms[] = {{"AVI ", "avi"}, {"CDDA", "cda"}, {"CDRX", "cdr"},  {"CDR6", "cdr"},
                 {"RMP3", "wav"}, {"WAVE", "wav"}, {"WEBP", "webp"}, {"AVIX", "avi"}};
    for (const auto& form : forms) {
        CarveCandidate fresh;
        ASSERT_EQ(recogniseWindow(recogniseRiff, riff(form.form, 1000), fresh), 1u) << form.form;
        EXPECT_STREQ(fresh.extension, form.extension) << form.form;
        EXPECT_EQ(fresh.expectedSize, 1008u) << form.form;
        EXPECT_EQ(fresh.blockCheck, &blockCheckRiff);
        EXPECT_EQ(fresh.endCheck, &endCheckTruncateToExpected);
    }
}

TEST(RecogniseRiff, CubaseProjectSizeIsBigEndianPlus12) {
    CarveCandidate fresh;
    ASSERT_EQ(recogniseWindow(recogniseRiff, riff("NUND", 0x00010000, true), fresh), 1u);
    EXPECT_STREQ(fresh.extension, "cpr");
    EXPECT_EQ(fresh.expectedSize, 0x00010000u + 12);
}

// Regression: le32 + 8 computed in 32 bits turned a size field of
// 0xFFFFFFF8 or more into a file of a few bytes.
TEST(RecogniseRiff, SizeFieldNear4GiBDoesNotWrapAround) {
    CarveCandidate fresh;
    ASSERT_EQ(recogniseWindow(recogniseRiff, riff("WAVE", 0xFFFFFFFF), fresh), 1u);
    EXPECT_EQ(fresh.expectedSize, 0xFFFFFFFFull + 8);
    ASSERT_EQ(recogniseWindow(recogniseRiff, riff("NUND", 0xFFFFFFF8, true), fresh), 1u);
    EXPECT_EQ(fresh.expectedSize, 0xFFFFFFF8ull + 12);
}

TEST(RecogniseRiff, RealFilesGetTheirExtensionAndExactLength) {
    const struct {
        const char* file;
        const char* extension;
        uint64_t length;
    } files[] = {{"audio/tone.wav", "wav", 4044},
                 {"video/testsrc.avi", "avi", 19628},
                 {"samples/RIFF.wav", "wav", 208},
                 {"samples/RIFF.avi", "avi", 0x2a3bb6 + 8},
                 {"samples/Pentax.avi", "avi", 0x06fe3b50 + 8}};
    for (const auto& file : files) {
        CarveCandidate fresh;
        ASSERT_EQ(recogniseWindow(recogniseRiff, test::readFile(test::dataPath(file.file)), fresh), 1u);
        EXPECT_STREQ(fresh.extension, file.extension) << file.file;
        EXPECT_EQ(fresh.expectedSize, file.length) << file.file;
    }
}

TEST(RecogniseRiff, RefusesOtherHeaders) {
    CarveCandidate fresh;
    std::vector<uint8_t> rifx = riff("WAVE", 100);
    rifx[3] = 'X';
    EXPECT_EQ(recogniseWindow(recogniseRiff, rifx, fresh), 0u);
}

TEST(RiffFile, WaveWhoseSizeFieldSays1000EndsWith1008Bytes) {
    std::vector<uint8_t> media = riff("WAVE", 1000);
    media.resize(5000, 0x33);
    std::memcpy(media.data() + 12, "data", 4);  // one chunk of 988 bytes fills it
    media[16] = 0xDC;
    media[17] = 0x03;
    for (size_t i = 20; i < 1008; ++i)
        media[i] = 0;
    for (uint32_t blockSize : {512u, 4096u})
        EXPECT_EQ(test::carve(recogniseRiff, media, blockSize), 1008) << blockSize;
}

TEST(RiffFile, RealFilesEndAtTheirSizeWithOtherDataAfterThem) {
    for (const auto& [path, length] :
         {std::pair{"audio/tone.wav", 4044}, std::pair{"video/testsrc.avi", 19628},
          std::pair{"video/testsrc_mjpeg.avi", 12842}}) {
        std::vector<uint8_t> media = test::readFile(test::dataPath(path));
        media.resize(media.size() + 20000, 0x33);
        for (uint32_t blockSize : {512u, 4096u})
            EXPECT_EQ(test::carve(recogniseRiff, media, blockSize), length) << path << " " << blockSize;
    }
}

// A file cut short and followed by other data: where its next chunk should
// be lies something else, so it is not presented whole.
TEST(RiffFile, ChunkWalkThatMeetsNoChunkDropsTheFile) {
    const std::vector<uint8_t> avi = test::readFile(test::dataPath("video/testsrc.avi"));
    for (const size_t cut : {size_t{9000}, size_t{10752}, size_t{15100}}) {
        std::vector<uint8_t> media(avi.begin(), avi.begin() + static_cast<std::ptrdiff_t>(cut));
        media.resize(avi.size() + 4096, 0x00);
        EXPECT_EQ(test::carve(recogniseRiff, media, 512), 0) << cut;
    }
    // A chunk that runs past the announced size ends it too.
    std::vector<uint8_t> media = avi;
    media[9982 + 4] = 0xFF;  // the first frame chunk claims 131,071 bytes
    media[9982 + 5] = 0xFF;
    media[9982 + 6] = 0x01;
    EXPECT_EQ(test::carve(recogniseRiff, media, 512), 0);
}

TEST(RecogniseRiff, ThePartsOfALargeAviAfterTheFirstStartNoFileWhileItIsFollowed) {
    FamilyTally riffTally{familyByExtension("riff"), nullptr};
    CarveCandidate current;
    current.tally = &riffTally;
    CarveCandidate fresh;
    EXPECT_EQ(recogniseWindow(recogniseRiff, riff("AVIX", 1000), fresh, current), 0u);
    EXPECT_EQ(recogniseWindow(recogniseRiff, riff("AVI ", 1000), fresh, current), 1u);
}

}  // namespace
}  // namespace salvora

// A card that holds every kind of file the tests have, recovered with every
// family enabled: each file comes back byte for byte under its extension.
#include <gtest/gtest.h>

#include "e2e/card_layout.h"
#include "formats/family_table.h"

namespace salvora {
namespace {

using test::CardLayout;
using test::contentOf;
using test::PlacedFile;
using test::savedAt;

EnabledFamilies allFamilies() {
    EnabledFamilies families = defaultEnabledFamilies();
    for (EnabledFamily& pair : families)
        pair.enabled = pair.family ? 1 : 0;
    return families;
}

struct Expected {
    std::string file;
    std::string extension;
    bool runsToNextFile = false;  // a stream without an end of its own
};

// Interleaved so that every family follows a different one; the MPEG streams
// and the InDesign document are followed directly by the next file, and no
// JPEG follows the InDesign document (its thumbnails are JPEGs, so a JPEG
// start inside one is not taken).
const std::vector<Expected> kCard{
    {"jpeg/camera_640x480.jpg", "jpg"},  {"audio/tone_id3v2.mp3", "mp3"},
    {"pdf/libreoffice_note.pdf", "pdf"}, {"video/testsrc.avi", "avi"},
    {"bmp/gradient_24bit.bmp", "bmp"},   {"video/avchd_style.m2ts", "m2ts"},
    {"audio/tone_bare.mp3", "mp3"},      {"samples/InDesign.indd", "indd"},
    {"video/testsrc.mpg", "mpg", true},  {"jpeg/jfif_exif_160x120.jpg", "jpg"},
    {"pdf/linearized_note.pdf", "pdf"},  {"audio/tone.wav", "wav"},
    {"video/hdv_style.m2t", "m2t"},      {"bmp/plasma_palette.bmp", "bmp"},
    {"audio/tone_id3v1.mp3", "mp3"},     {"samples/PDF.pdf", "pdf"},
    {"samples/M2TS.mts", "m2ts"},        {"jpeg/progressive_96x64.jpg", "jpg"},
    {"bmp/circle_v5.bmp", "bmp"},        {"video/testsrc.m1v", "mpg", true},
    {"samples/PDF2.pdf", "pdf"},         {"jpeg/camera_320x240.jpg", "jpg"},
    {"samples/BMP.bmp", "bmp"},          {"jpeg/jfif_plain_200x150.jpg", "jpg"},
};

TEST(MixedCard, EveryFileComesBackByteIdenticalWithAllFamiliesEnabled) {
    CardLayout card(2 << 20);
    std::vector<PlacedFile> placed;
    for (const Expected& expected : kCard)
        placed.push_back(card.add(expected.file));
    const auto recovery = test::recoverImage(card.bytes(), allFamilies());
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(recovery.saved.size(), kCard.size());
    for (size_t i = 0; i < kCard.size(); ++i) {
        const SavedFile* saved = savedAt(recovery, placed[i].offset);
        ASSERT_NE(saved, nullptr) << kCard[i].file << " was not recovered";
        EXPECT_EQ(saved->extension, kCard[i].extension) << kCard[i].file;
        const std::vector<uint8_t> content = contentOf(recovery, *saved);
        if (kCard[i].runsToNextFile) {
            const uint64_t next = i + 1 < placed.size() ? placed[i + 1].offset : card.bytes().size();
            EXPECT_EQ(saved->size, next - placed[i].offset) << kCard[i].file;
            EXPECT_EQ(test::prefix(content, placed[i].bytes.size()), placed[i].bytes) << kCard[i].file;
        } else {
            EXPECT_EQ(content, placed[i].bytes) << kCard[i].file;
        }
    }
}

// Noise between the files: every file with an end of its own must still find
// it (the MPEG streams and the InDesign document keep what follows them).
TEST(MixedCard, FilesSeparatedByNoiseComeBackByteIdentical) {
    CardLayout card(2 << 20);
    std::vector<PlacedFile> placed;
    uint32_t seed = 1;
    for (const Expected& expected : kCard) {
        if (expected.runsToNextFile || expected.extension == "indd")
            continue;
        placed.push_back(card.add(expected.file));
        card.noise(2, seed++);
    }
    const auto recovery = test::recoverImage(card.bytes(), allFamilies());
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(recovery.saved.size(), placed.size());
    for (const PlacedFile& file : placed) {
        const SavedFile* saved = savedAt(recovery, file.offset);
        ASSERT_NE(saved, nullptr) << file.name << " was not recovered";
        EXPECT_EQ(contentOf(recovery, *saved), file.bytes) << file.name;
    }
}

}  // namespace
}  // namespace salvora

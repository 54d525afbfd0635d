// Cards holding the files of the newer formats (made by the tools that write
// them, see tests/data/make_new_formats.sh), with random data between the
// files: each file comes back byte for byte under its own extension, with its
// family alone and mixed with every older family on one card; damaged copies
// are cut or dropped, never saved longer than what is left of them.
#include <gtest/gtest.h>

#include <random>

#include "e2e/card_layout.h"
#include "formats/family_table.h"

namespace salvora {
namespace {

using test::CardLayout;
using test::contentOf;
using test::PlacedFile;
using test::savedAt;

struct Newer {
    std::string file;
    std::string family;
    std::string extension;
};

const std::vector<Newer> kNewer{
    {"picture/photo.png", "png", "png"},
    {"picture/animated.gif", "gif", "gif"},
    {"picture/still87a.gif", "gif", "gif"},
    {"picture/lossy.webp", "webp", "webp"},
    {"picture/lossless.webp", "webp", "webp"},
    {"picture/animated.webp", "webp", "webp"},
    {"picture/photo.heic", "heic", "heic"},
    {"picture/photo.avif", "heic", "avif"},
    {"picture/crafted.cr3", "heic", "cr3"},
    {"audio/tone.flac", "flac", "flac"},
    {"audio/tone.ogg", "ogg", "ogg"},
    {"audio/tone.opus", "ogg", "opus"},
    {"audio/tone.m4a", "m4a", "m4a"},
    {"video/clip.mkv", "mkv", "mkv"},
    {"video/clip.webm", "mkv", "webm"},
    {"video/live.mkv", "mkv", "mkv"},
    {"archive/notes.sqlite", "sqlite", "sqlite"},
    {"archive/notes.7z", "7z", "7z"},
    {"archive/stored4.rar", "rar", "rar"},
    {"archive/stored5.rar", "rar", "rar"},
};

// Older files with an end of their own, one of each family that has one.
const std::vector<std::pair<std::string, std::string>> kOlder{
    {"jpeg/camera_640x480.jpg", "jpg"},  {"audio/tone_id3v2.mp3", "mp3"},
    {"pdf/libreoffice_note.pdf", "pdf"}, {"video/testsrc.avi", "avi"},
    {"bmp/gradient_24bit.bmp", "bmp"},   {"video/avchd_style.m2ts", "m2ts"},
    {"audio/tone.wav", "wav"},           {"office/letter.doc", "doc"},
    {"office/letter.docx", "docx"},      {"movie/clip.mp4", "mp4"},
    {"tiff/strips_le.tif", "tif"},       {"zip/deflated.zip", "zip"},
};

EnabledFamilies allFamilies() {
    EnabledFamilies families = defaultEnabledFamilies();
    for (EnabledFamily& pair : families)
        pair.enabled = pair.family ? 1 : 0;
    return families;
}

void expectExact(const test::Recovery& recovery, const PlacedFile& placed, const std::string& extension) {
    test::expectRecovered(recovery, placed, extension);
}

TEST(NewerFamiliesRecovery, EachFamilyAloneBringsBackItsFilesFromACardOfEveryKind) {
    CardLayout card(1 << 20);
    std::vector<PlacedFile> placed;
    uint32_t seed = 100;
    for (const Newer& file : kNewer) {
        placed.push_back(card.add(file.file));
        card.noise(2, seed++);
    }
    for (const char* family :
         {"png", "gif", "webp", "heic", "mkv", "flac", "ogg", "m4a", "sqlite", "7z", "rar"}) {
        const auto recovery = test::recoverImage(card.bytes(), test::onlyFamilies({family}));
        ASSERT_EQ(recovery.result, kScanFinished) << family;
        size_t expected = 0;
        for (size_t i = 0; i < kNewer.size(); ++i) {
            if (kNewer[i].family != family)
                continue;
            ++expected;
            expectExact(recovery, placed[i], kNewer[i].extension);
        }
        EXPECT_EQ(recovery.saved.size(), expected) << family << ": nothing else is saved";
    }
}

TEST(NewerFamiliesRecovery, MixedWithEveryOlderFamilyAllComeBackByteIdentical) {
    CardLayout card(2 << 20);
    std::vector<std::pair<PlacedFile, std::string>> placed;
    uint32_t seed = 7;
    for (size_t i = 0; i < std::max(kNewer.size(), kOlder.size()); ++i) {
        if (i < kNewer.size()) {
            placed.emplace_back(card.add(kNewer[i].file), kNewer[i].extension);
            card.noise(1 + i % 3, seed++);
        }
        if (i < kOlder.size()) {
            placed.emplace_back(card.add(kOlder[i].first), kOlder[i].second);
            card.noise(1 + i % 2, seed++);
        }
    }
    const auto recovery = test::recoverImage(card.bytes(), allFamilies());
    ASSERT_EQ(recovery.result, kScanFinished);
    for (const auto& [file, extension] : placed)
        expectExact(recovery, file, extension);
    EXPECT_EQ(recovery.saved.size(), placed.size());
}

// A copy whose end was overwritten (by noise, by zeros, by another file) and
// a copy with a damaged byte: whatever is saved from them is a start of the
// file, no longer than what is left of it, and never reaches into what
// follows.
TEST(NewerFamiliesRecovery, DamagedCopiesAreCutOrDroppedNeverSavedOverlong) {
    std::mt19937 random(2026);
    for (const Newer& newer : kNewer) {
        const std::vector<uint8_t> original = test::readFile(test::dataPath(newer.file));
        for (int round = 0; round < 6; ++round) {
            std::vector<uint8_t> damaged = original;
            size_t intact = original.size();
            if (round % 2 == 0) {
                intact = 40 + random() % (original.size() - 40);  // cut, then other data
                damaged.resize(intact);
            } else {
                const size_t at = 40 + random() % (original.size() - 40);
                damaged[at] ^= static_cast<uint8_t>(1 + random() % 255);
            }
            CardLayout card(512 * 1024);
            const PlacedFile copy = card.addBytes(newer.file, damaged);
            if (round % 3 == 0) {
                card.noise(4, static_cast<uint32_t>(random()));
            } else if (round % 3 == 1) {
                card.skip(4);
            }
            card.add("jpeg/jfif_plain_200x150.jpg");
            const auto recovery = test::recoverImage(card.bytes(), test::onlyFamilies({newer.family, "jpg"}));
            ASSERT_EQ(recovery.result, kScanFinished);
            const SavedFile* saved = savedAt(recovery, copy.offset);
            if (!saved)
                continue;  // dropped
            const std::vector<uint8_t> content = contentOf(recovery, *saved);
            const std::string what = newer.file + " round " + std::to_string(round);
            // GIF carries no checksum: a damaged GIF's walk can run on into what follows.
            if (newer.family == "gif")
                continue;
            ASSERT_LE(content.size(), original.size()) << what;
            // A start of the copy (families whose length comes from a header keep it whole).
            const size_t compared = std::min(content.size(), damaged.size());
            EXPECT_TRUE(
                std::equal(content.begin(), content.begin() + static_cast<long>(compared), damaged.begin()))
                << what;
            if (round % 2 == 0 && newer.family != "sqlite" && newer.family != "webp" &&
                newer.family != "heic" && newer.family != "m4a" && newer.family != "mkv") {
                EXPECT_LE(content.size(), intact) << what << ": a cut file keeps only what is left of it";
            }
        }
    }
}

// Regression: the first piece of a FLAC whose rest lay elsewhere came back
// cut at its last whole frame, but as if it were the whole recording. Its
// frames stop before the total STREAMINFO gives (88,200 samples): it is
// marked partial. A whole FLAC is not.
TEST(NewerFamiliesRecovery, AFlacThatStopsBeforeItsTotalIsMarkedPartial) {
    const std::vector<uint8_t> flac = test::readFile(test::dataPath("audio/tone.flac"));  // 32,487 bytes
    test::ImageBuilder image(512 * 1024);
    image.place(4096, flac);
    image.place(65536, test::prefix(flac, 12288));
    image.noise(65536 + 12288, 65536 + 12288 + 65536, 7);  // other data where the rest was
    image.place(65536 + 12288 + 65536, std::vector<uint8_t>(flac.begin() + 12288, flac.end()));
    const auto recovery = test::recoverImage(image.bytes(), test::onlyFamilies({"flac"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    const SavedFile* whole = savedAt(recovery, 4096);
    ASSERT_NE(whole, nullptr);
    EXPECT_FALSE(whole->partial);
    EXPECT_EQ(contentOf(recovery, *whole), flac);
    const SavedFile* piece = savedAt(recovery, 65536);
    ASSERT_NE(piece, nullptr);
    EXPECT_TRUE(piece->partial);
    // ffprobe: the frame at 10,776 (1,242 bytes) is the last to end before 12,288.
    EXPECT_EQ(contentOf(recovery, *piece), test::prefix(flac, 12018));
}

}  // namespace
}  // namespace salvora

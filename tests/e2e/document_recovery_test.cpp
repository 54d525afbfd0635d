// PDF documents, bitmaps and InDesign documents laid on a card image come
// back whole, with their extensions, cut where their formats say they end.
#include <gtest/gtest.h>

#include "e2e/card_layout.h"

namespace salvora {
namespace {

using test::CardLayout;
using test::contentOf;
using test::expectRecovered;
using test::onlyFamilies;
using test::PlacedFile;
using test::recoverImage;
using test::savedAt;

TEST(PdfRecovery, DocumentsComeBackWholeWithTheLineEndAfterTheirLastEof) {
    CardLayout card(1 << 20);
    const PlacedFile office = card.add("pdf/libreoffice_note.pdf");     // ends "%%EOF" line feed
    const PlacedFile linearized = card.add("pdf/linearized_note.pdf");  // length from its dictionary
    const PlacedFile photoshop = card.add("samples/PDF.pdf");           // ends "%%EOF" carriage return
    const PlacedFile other = card.add("samples/PDF2.pdf");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"pdf"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(recovery.saved.size(), 4u);
    expectRecovered(recovery, office, "pdf");
    expectRecovered(recovery, linearized, "pdf");
    expectRecovered(recovery, photoshop, "pdf");
    expectRecovered(recovery, other, "pdf");
}

TEST(PdfRecovery, DocumentWithoutEofIsDropped) {
    CardLayout card(1 << 20);
    std::vector<uint8_t> cut = test::readFile(test::dataPath("pdf/libreoffice_note.pdf"));
    cut.resize(cut.size() - 8);  // loses "%%EOF" and the line end
    const PlacedFile placed = card.addBytes("cut", cut);
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"pdf"}));
    EXPECT_EQ(savedAt(recovery, placed.offset), nullptr);
    EXPECT_TRUE(recovery.files.empty());
}

TEST(PdfRecovery, LinearizedDocumentCutShortOfItsDeclaredLengthIsDropped) {
    CardLayout card(1 << 20);
    std::vector<uint8_t> cut = test::readFile(test::dataPath("pdf/linearized_note.pdf"));
    cut.resize(6000);
    const PlacedFile placed = card.addBytes("cut", cut);
    card.add("audio/tone.wav");  // the next file ends the document before its length
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"pdf", "riff"}));
    EXPECT_EQ(savedAt(recovery, placed.offset), nullptr);
}

TEST(BmpRecovery, BitmapsComeBackWhole) {
    CardLayout card(1 << 20);
    const PlacedFile gradient = card.add("bmp/gradient_24bit.bmp");
    const PlacedFile palette = card.add("bmp/plasma_palette.bmp");
    const PlacedFile v5 = card.add("bmp/circle_v5.bmp");
    const PlacedFile sample = card.add("samples/BMP.bmp");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"bmp"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(recovery.saved.size(), 4u);
    expectRecovered(recovery, gradient, "bmp");
    expectRecovered(recovery, palette, "bmp");
    expectRecovered(recovery, v5, "bmp");
    expectRecovered(recovery, sample, "bmp");
}

TEST(InddRecovery, DocumentFollowedDirectlyByAnotherFileComesBackWhole) {
    CardLayout card(1 << 20);
    const PlacedFile indd = card.add("samples/InDesign.indd");  // 2 + 1 pages of 4096 bytes
    const PlacedFile next = card.add("bmp/gradient_24bit.bmp");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"indd", "bmp"}));
    expectRecovered(recovery, indd, "indd");
    expectRecovered(recovery, next, "bmp");
}

TEST(InddRecovery, DocumentKeepsAtMost40960BytesBeyondItsPages) {
    CardLayout card(1 << 20);
    const PlacedFile indd = card.add("samples/InDesign.indd");
    card.skip(20);
    const PlacedFile next = card.add("bmp/gradient_24bit.bmp");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"indd", "bmp"}));
    const SavedFile* saved = savedAt(recovery, indd.offset);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->size, 12288u + 40960u);
    EXPECT_EQ(test::prefix(contentOf(recovery, *saved), indd.bytes.size()), indd.bytes);
    EXPECT_NE(savedAt(recovery, next.offset), nullptr);
}

TEST(InddRecovery, DocumentCutShortOfItsPagesIsDropped) {
    // 512-byte clusters: the next file starts past the 8192 bytes in which
    // no header is looked for, but before the document's 12288 bytes.
    CardLayout card(1 << 20, 512);
    std::vector<uint8_t> cut = test::readFile(test::dataPath("samples/InDesign.indd"));
    cut.resize(8192 + 512);
    const PlacedFile placed = card.addBytes("cut", cut);
    const PlacedFile next = card.add("bmp/gradient_24bit.bmp");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"indd", "bmp"}));
    EXPECT_EQ(savedAt(recovery, placed.offset), nullptr);
    expectRecovered(recovery, next, "bmp");
}

}  // namespace
}  // namespace salvora

// Photos end where their own marker structure ends, whatever follows them
// and whatever types are chosen ("just my photos": --types jpg on a card that
// also holds documents with pictures inside).
#include <gtest/gtest.h>

#include "card_layout.h"

namespace salvora {
namespace {

using test::CardLayout;
using test::onlyFamilies;
using test::recoverImage;

// Regression: with only JPEG on, a photo ran on through the document after it
// and was cut after the last FF D9 written, the end of a picture inside the
// document, so it came back overlong.
TEST(PhotoEnds, PhotosFollowedByADocumentWithPicturesInsideComeBackExactWithOnlyJpegOn) {
    CardLayout card(1 << 20);
    const auto first = card.add("jpeg/camera_640x480.jpg");
    card.add("office/album.odt");  // holds two whole JPEG files, stored
    const auto progressive = card.add("jpeg/progressive_96x64.jpg");
    card.add("office/letter.docx");
    card.noise(3, 17);
    const auto last = card.add("jpeg/jfif_exif_160x120.jpg");
    card.noise(4, 18);
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"jpg"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    test::expectRecovered(recovery, first, "jpg");
    test::expectRecovered(recovery, progressive, "jpg");
    test::expectRecovered(recovery, last, "jpg");
    EXPECT_EQ(recovery.saved.size(), 3u);
}

// A picture of the document that happens to begin on a cluster is a whole
// JPEG file of its own: it comes back exact too, and the photo before the
// document still ends at its own end.
TEST(PhotoEnds, PictureInsideADocumentOnAClusterComesBackExact) {
    const auto album = test::readFile(test::dataPath("office/album.odt"));
    const auto photo = test::readFile(test::dataPath("jpeg/camera_320x240.jpg"));
    const size_t inner = 14062;  // where LibreOffice stored camera_320x240.jpg in album.odt
    const size_t cluster = 4096;
    test::ImageBuilder image(1 << 20);
    const auto before = test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg"));
    image.place(cluster, before);
    const size_t albumAt = 4 * cluster - inner % cluster + 2 * cluster;
    image.place(albumAt, album);
    const auto recovery = recoverImage(image.bytes(), onlyFamilies({"jpg"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    ASSERT_EQ(recovery.saved.size(), 2u);
    EXPECT_EQ(recovery.saved[0].startOffset, cluster);
    EXPECT_EQ(test::contentOf(recovery, recovery.saved[0]), before);
    EXPECT_EQ(recovery.saved[1].startOffset, albumAt + inner);
    EXPECT_EQ(test::contentOf(recovery, recovery.saved[1]), photo);
}

}  // namespace
}  // namespace salvora

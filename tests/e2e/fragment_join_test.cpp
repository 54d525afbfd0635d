// Two-fragment photos on a card without a file system: joined only where
// the joined data decodes to its end, kept as partial where the rest is
// gone, and whole files come back exactly as the carve alone gives them.
#include <gtest/gtest.h>

#include "carve/file_map.h"
#include "e2e/card_layout.h"
#include "formats/jpeg_join.h"
#include "media/memory_reader.h"
#include "support/recovery_harness.h"

namespace salvora {
namespace {

using test::dataPath;
using test::ImageBuilder;
using test::readFile;

std::vector<uint8_t> slice(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(to)};
}

using test::contentOf;
using test::savedAt;

// A card map of `grain`-byte units that lists one file.
FileMap mapListing(uint64_t grain, const std::string& name, uint64_t size, std::vector<ByteRun> runs,
                   bool deleted = false) {
    FileMap map;
    map.setGrain(grain);
    MappedFile listed;
    listed.name = name;
    listed.size = size;
    listed.deleted = deleted;
    listed.runs = std::move(runs);
    map.add(listed);
    return map;
}

std::vector<std::pair<uint64_t, uint64_t>> runsOf(const SavedFile& file) {
    std::vector<std::pair<uint64_t, uint64_t>> runs;
    for (const ByteRun& run : file.runs)
        runs.emplace_back(run.offset, run.length);
    return runs;
}

// A card of 4 KiB clusters: a whole photo; a photo whose second fragment
// lies 12 KiB of other data after its first 8 KiB; a photo of which only the
// first 20 KiB survive, other data after them; a whole photo after that.
class TwoFragmentPhotos : public ::testing::Test {
  protected:
    void SetUp() override {
        whole_ = readFile(dataPath("jpeg/camera_320x240.jpg"));      // 16516 bytes
        split_ = readFile(dataPath("jpeg/scans/baseline_444.jpg"));  // 23354 bytes
        cut_ = readFile(dataPath("jpeg/camera_640x480.jpg"));        // 46238 bytes
        last_ = readFile(dataPath("jpeg/jfif_plain_200x150.jpg"));   // 4717 bytes
        // Other data between the fragments and after the cut photo; the
        // rest of the card is blank.
        image_.noise(270336, 282624, 7);
        image_.noise(544768, 786432, 8);
        image_.place(69632, whole_);
        image_.place(262144, slice(split_, 0, 8192));
        image_.place(282624, slice(split_, 8192, split_.size()));
        image_.place(524288, slice(cut_, 0, 20480));
        image_.place(786432, last_);
    }

    test::Recovery recover(bool withJoiner) {
        MemoryReader medium(image_.bytes(), 512);
        ScanAids aids;
        aids.joiner = withJoiner ? &joiner_ : nullptr;
        return test::recoverRange(medium, 0, 0, test::onlyFamilies({"jpg"}), aids);
    }

    ImageBuilder image_{size_t{2} << 20};
    std::vector<uint8_t> whole_, split_, cut_, last_;
    JpegJoiner joiner_;
};

TEST_F(TwoFragmentPhotos, TheSecondFragmentIsFoundAfterOtherDataAndTheJoinIsByteExact) {
    const test::Recovery recovery = recover(true);
    ASSERT_EQ(recovery.result, kScanFinished);
    const SavedFile* joined = savedAt(recovery, 262144);
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(contentOf(recovery, *joined), split_);
    EXPECT_TRUE(joined->joined);
    EXPECT_FALSE(joined->partial);
    const std::vector<std::pair<uint64_t, uint64_t>> expected{{262144, 8192}, {282624, 15162}};
    EXPECT_EQ(runsOf(*joined), expected);
}

TEST_F(TwoFragmentPhotos, WholePhotosAroundThemAreUntouched) {
    const test::Recovery recovery = recover(true);
    for (const auto& [offset, bytes] :
         {std::pair{uint64_t{69632}, whole_}, std::pair{uint64_t{786432}, last_}}) {
        const SavedFile* file = savedAt(recovery, offset);
        ASSERT_NE(file, nullptr) << offset;
        EXPECT_EQ(contentOf(recovery, *file), bytes) << offset;
        EXPECT_FALSE(file->joined);
        EXPECT_FALSE(file->partial);
        const std::vector<std::pair<uint64_t, uint64_t>> one{{offset, bytes.size()}};
        EXPECT_EQ(runsOf(*file), one);
    }
    EXPECT_EQ(recovery.saved.size(), 4u);
}

TEST_F(TwoFragmentPhotos, APhotoWhoseRestIsGoneIsKeptAsPartial) {
    const test::Recovery recovery = recover(true);
    const SavedFile* cut = savedAt(recovery, 524288);
    ASSERT_NE(cut, nullptr);
    EXPECT_TRUE(cut->partial);
    EXPECT_FALSE(cut->joined);
    const std::vector<uint8_t> content = contentOf(recovery, *cut);
    ASSERT_GE(content.size(), 20480u);
    EXPECT_EQ(slice(content, 0, 20480), slice(cut_, 0, 20480));
}

// Regression: judging the photos must not change a file that the carve
// alone recovers, whole or not; only the split photo differs.
TEST_F(TwoFragmentPhotos, EveryOtherFileIsWhatTheCarveAloneGives) {
    const test::Recovery alone = recover(false);
    const test::Recovery judged = recover(true);
    ASSERT_EQ(alone.saved.size(), judged.saved.size());
    for (const SavedFile& file : alone.saved) {
        if (file.startOffset == 262144)
            continue;
        const SavedFile* same = savedAt(judged, file.startOffset);
        ASSERT_NE(same, nullptr) << file.startOffset;
        EXPECT_EQ(contentOf(judged, *same), contentOf(alone, file)) << file.startOffset;
    }
    const SavedFile* carved = savedAt(alone, 262144);
    ASSERT_NE(carved, nullptr);
    EXPECT_NE(contentOf(alone, *carved), split_);
}

// Regression: a join was carved with the state the contiguous walk had left
// (the end it had found past the gap), so a photo on a mapped card whose gap
// holds text (no marker stops the walk: it reaches the second fragment's end
// of image) was joined but the join was dropped, and the photo came back with
// the text in it.
TEST(TwoFragmentPhotoAroundText, IsJoinedAlthoughTheWalkReachedTheEnd) {
    const std::vector<uint8_t> photo = readFile(dataPath("jpeg/scans/baseline_444.jpg"));  // 23354 bytes
    std::vector<uint8_t> text;
    const std::string line = "3f9a0c1e77b24d5e 0000 note taken on the way back\n";
    while (text.size() < 6144)
        text.insert(text.end(), line.begin(), line.end());
    text.resize(6144);
    ImageBuilder image(size_t{1} << 20);
    image.place(131072, slice(photo, 0, 10240));
    image.place(141312, text);
    image.place(147456, slice(photo, 10240, photo.size()));
    // A listed photo on an odd sector sets the block size to 512 bytes; the
    // split one is on the card's map in no form.
    image.place(512512, readFile(dataPath("jpeg/jfif_plain_200x150.jpg")));  // 4717 bytes
    const FileMap map = mapListing(512, "OTHER.JPG", 4717, {ByteRun{512512, 4717}});
    MemoryReader medium(image.bytes(), 512);
    JpegJoiner joiner;
    ScanAids aids;
    aids.joiner = &joiner;
    aids.fileMap = &map;
    const test::Recovery recovery = test::recoverRange(medium, 0, 0, test::onlyFamilies({"jpg"}), aids);
    ASSERT_EQ(recovery.result, kScanFinished);
    const SavedFile* joined = savedAt(recovery, 131072);
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(contentOf(recovery, *joined), photo);
    EXPECT_TRUE(joined->joined);
    EXPECT_FALSE(joined->partial);
    const std::vector<std::pair<uint64_t, uint64_t>> expected{{131072, 10240}, {147456, 13114}};
    EXPECT_EQ(runsOf(*joined), expected);
}

// Regression: the copy of a recognised file that is carved along its map
// lost the walk state its recogniser set, so the newer families' walks failed
// and the map was not followed; and since the later clusters of every listed
// file were taken out of the search space, the carve from its start ran into
// a hole (a live GIF on a FAT card came back as 3,991 of its 48,500 bytes).
TEST(ListedFileInOnePiece, ComesBackWholeWithTheMapGiven) {
    const std::vector<uint8_t> png = readFile(dataPath("picture/photo.png"));  // 34304 bytes
    ImageBuilder image(size_t{1} << 20);
    image.noise(0, 131072, 3);
    image.place(131072, png);
    image.noise(172032, 262144, 4);
    const FileMap map = mapListing(1024, "PHOTO.PNG", 34304, {ByteRun{131072, 34304}});
    MemoryReader medium(image.bytes(), 512);
    ScanAids aids;
    aids.fileMap = &map;
    const test::Recovery recovery = test::recoverRange(medium, 0, 0, test::onlyFamilies({"png"}), aids);
    ASSERT_EQ(recovery.result, kScanFinished);
    const SavedFile* file = savedAt(recovery, 131072);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(contentOf(recovery, *file), png);
    EXPECT_EQ(file->sourceName, "PHOTO.PNG") << "carved along its map";
}

// Regression: a file carved along its map was cut to the bytes from its
// first piece to the end of the medium, as if it were contiguous; a file
// whose first piece lies in the last clusters of the card and whose chain
// goes on before it lost its later pieces.
TEST(ListedFileInPieces, FirstPieceAtTheEndOfTheMediumKeepsTheLaterOnes) {
    const std::vector<uint8_t> png = readFile(dataPath("picture/photo.png"));  // 34304 bytes
    ImageBuilder image(size_t{1} << 20);
    image.noise(0, 1048576 - 8192, 5);
    image.place(65536, slice(png, 8192, png.size()));
    image.place(1048576 - 8192, slice(png, 0, 8192));
    const FileMap map =
        mapListing(1024, "LAST.PNG", 34304, {ByteRun{1048576 - 8192, 8192}, ByteRun{65536, 26112}});
    MemoryReader medium(image.bytes(), 512);
    ScanAids aids;
    aids.fileMap = &map;
    const test::Recovery recovery = test::recoverRange(medium, 0, 0, test::onlyFamilies({"png"}), aids);
    ASSERT_EQ(recovery.result, kScanFinished);
    const SavedFile* file = savedAt(recovery, 1048576 - 8192);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(contentOf(recovery, *file), png);
    EXPECT_EQ(runsOf(*file), (std::vector<std::pair<uint64_t, uint64_t>>{{1040384, 8192}, {65536, 26112}}));
}

// Regression: a deleted entry's placement (its clusters guessed as the free
// ones from its first cluster on) that runs into another file's data gave a
// file cut where its walk stopped, presented as whole.
TEST(DeletedEntryPlacement, EndingBeforeTheEntrysSizeIsKeptAsPartial) {
    // Chunks of photo.png: its first IDAT chunk (32768 bytes of data) ends at
    // 32891; the picture's first piece holds it, the second piece the rest.
    const std::vector<uint8_t> png = readFile(dataPath("picture/photo.png"));  // 34304 bytes
    ImageBuilder image(size_t{1} << 20);
    image.noise(0, 1048576, 6);
    image.place(131072, slice(png, 0, 33792));
    image.place(172032, slice(png, 33792, png.size()));  // 8 KiB of other data in between
    const FileMap map = mapListing(1024, "DRAWING.PNG", 34304, {ByteRun{131072, 34304}}, true);
    MemoryReader medium(image.bytes(), 512);
    ScanAids aids;
    aids.fileMap = &map;
    const test::Recovery recovery = test::recoverRange(medium, 0, 0, test::onlyFamilies({"png"}), aids);
    ASSERT_EQ(recovery.result, kScanFinished);
    const SavedFile* file = savedAt(recovery, 131072);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(contentOf(recovery, *file), slice(png, 0, 32891)) << "up to its last whole chunk";
    EXPECT_TRUE(file->partial);
    EXPECT_FALSE(file->joined);
    EXPECT_EQ(file->sourceName, "DRAWING.PNG");
}

}  // namespace
}  // namespace salvora

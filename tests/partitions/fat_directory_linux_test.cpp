// The map of real FAT volumes made by mkfs.vfat and filled by mtools, judged
// against what mtools itself says (mshowfat) and against the original files
// byte for byte.
#include <gtest/gtest.h>

#include <fstream>

#include "media/image_reader.h"
#include "medium_run_printing.h"
#include "partitions/current_medium.h"
#include "partitions/fat_directory.h"
#include "partitions/fat_names.h"
#include "support/disk_images.h"
#include "support/fragmented_card.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::CardFile;
using test::FragmentedCard;

std::vector<MediumRun> asMediumRuns(const std::vector<test::TruthRun>& runs) {
    std::vector<MediumRun> converted;
    for (const test::TruthRun& run : runs)
        converted.push_back({run.offset, run.length});
    return converted;
}

// The bytes of `runs` read straight from the image file.
std::vector<uint8_t> bytesAt(const fs::path& image, const std::vector<MediumRun>& runs) {
    std::ifstream in(image, std::ios::binary);
    std::vector<uint8_t> bytes;
    for (const MediumRun& run : runs) {
        std::vector<uint8_t> piece(run.length);
        in.seekg(static_cast<std::streamoff>(run.offset));
        in.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(run.length));
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    }
    return bytes;
}

// The map of the first FAT volume of `image`.
std::optional<FatMap> mapImage(const fs::path& image) {
    std::string whyNot;
    const auto medium = openImage(image.string(), whyNot);
    if (!medium)
        return std::nullopt;
    for (const PartitionRecord& record : selectCurrentMedium(*medium)) {
        if (record.fsKind != kFsNone)
            return mapFatVolume(*medium, record);
    }
    return std::nullopt;
}

const FatFile* find(const FatMap& map, const std::string& folder, const std::string& name) {
    for (const FatFile& file : map.files) {
        if (file.name == name && map.folders.at(file.folder) == folder)
            return &file;
    }
    return nullptr;
}

class FatMapOfACard : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!test::missingTools({"mkfs.vfat", "mcopy", "mshowfat", "mdel", "mmd", "sha256sum"}).empty())
            return;
        dir_ = new test::TempDir;
        test::CardSources sources;
        sources.jpeg = test::dataPath("jpeg/camera_640x480.jpg");
        sources.mp3 = test::dataPath("audio/tone_id3v2.mp3");
        sources.wav = test::dataPath("audio/tone.wav");
        sources.deletedAroundLive = test::dataPath("jpeg/camera_320x240.jpg");
        sources.deletedTwoFragmentJpeg = test::dataPath("jpeg/scans/baseline_444.jpg");
        sources.gap = test::dataPath("pdf/libreoffice_note.pdf");
        sources.overwrittenEntry = test::dataPath("jpeg/scans/progressive_444.jpg");
        card_ = new FragmentedCard;
        built_ = test::buildFragmentedCard(dir_->path() / "card.img", sources, *card_, log_);
        if (built_)
            map_ = mapImage(card_->image);
    }
    static void TearDownTestSuite() {
        delete card_;
        delete dir_;
        card_ = nullptr;
        dir_ = nullptr;
    }
    void SetUp() override {
        SKIP_WITHOUT_TOOLS("mkfs.vfat", "mcopy", "mshowfat", "mdel", "mmd", "sha256sum");
        ASSERT_TRUE(built_) << log_;
        ASSERT_TRUE(map_.has_value());
    }

    const FatFile& mapped(const CardFile& file) {
        const FatFile* found = find(*map_, file.folder, file.name);
        EXPECT_NE(found, nullptr) << file.folder << "/" << file.name;
        static const FatFile none;
        return found ? *found : none;
    }

    static inline test::TempDir* dir_ = nullptr;
    static inline FragmentedCard* card_ = nullptr;
    static inline bool built_ = false;
    static inline std::string log_;
    static inline std::optional<FatMap> map_;
};

TEST_F(FatMapOfACard, LiveFragmentedFilesFollowTheirChainsByteForByte) {
    EXPECT_EQ(map_->clusterBytes, card_->clusterBytes);
    for (const char* role : {test::kRoleLiveJpeg, test::kRoleLiveMp3, test::kRoleLiveWav}) {
        const CardFile& truth = card_->file(role);
        const FatFile& file = mapped(truth);
        EXPECT_EQ(file.state, FatFileState::kLive) << role;
        EXPECT_EQ(file.size, truth.size) << role;
        EXPECT_GE(truth.runs.size(), 2u) << role << " is fragmented on the card";
        EXPECT_EQ(file.runs, asMediumRuns(truth.runs)) << role;
        EXPECT_EQ(bytesAt(card_->image, file.runs), truth.bytes) << role;
    }
}

TEST_F(FatMapOfACard, FillersBetweenTheFragmentsAreLiveAndWhole) {
    int fillers = 0;
    for (const CardFile& truth : card_->files) {
        if (truth.role != test::kRoleFiller)
            continue;
        ++fillers;
        const FatFile& file = mapped(truth);
        EXPECT_EQ(file.state, FatFileState::kLive) << truth.name;
        EXPECT_EQ(file.runs, asMediumRuns(truth.runs)) << truth.name;
    }
    EXPECT_EQ(fillers,
              5);  // one around the JPEG, two around the MP3, one each around the WAV and the deleted file
}

TEST_F(FatMapOfACard, DeletedFileAroundALiveOneIsPlacedOverTheFreeClusters) {
    const CardFile& truth = card_->file(test::kRoleDeletedAroundLive);
    ASSERT_EQ(truth.runs.size(), 2u);
    const FatFile& file = mapped(truth);  // its long name survived the deletion
    EXPECT_EQ(file.state, FatFileState::kDeleted);
    EXPECT_EQ(file.size, truth.size);
    ASSERT_EQ(file.candidates.size(), 1u);
    EXPECT_TRUE(file.candidates[0].complete);
    EXPECT_EQ(file.candidates[0].runs, asMediumRuns(truth.runs));
    EXPECT_EQ(bytesAt(card_->image, file.candidates[0].runs), truth.bytes);
}

// The free clusters after the JPEG's first fragment hold the deleted gap
// file, so the placement runs through it: only validating the picture can
// find the second fragment.
TEST_F(FatMapOfACard, DeletedTwoFragmentJpegIsPlacedThroughTheGapFile) {
    const CardFile& truth = card_->file(test::kRoleDeletedTwoFragmentJpeg);
    const CardFile& gap = card_->file(test::kRoleGap);
    ASSERT_EQ(truth.runs.size(), 2u);
    const FatFile& file = mapped(truth);
    EXPECT_EQ(file.state, FatFileState::kDeleted);
    ASSERT_EQ(file.candidates.size(), 1u);
    const std::vector<MediumRun>& placed = file.candidates[0].runs;
    ASSERT_FALSE(placed.empty());
    EXPECT_EQ(placed[0].offset, truth.runs[0].offset);
    EXPECT_GE(placed[0].length, truth.runs[0].length);
    const std::vector<uint8_t> bytes = bytesAt(card_->image, placed);
    const size_t first = truth.runs[0].length;
    EXPECT_TRUE(std::equal(truth.bytes.begin(), truth.bytes.begin() + first, bytes.begin()));
    EXPECT_TRUE(std::equal(gap.bytes.begin(), gap.bytes.begin() + 512, bytes.begin() + first))
        << "the placement goes on with the gap file's data";

    const FatFile& gapFile = mapped(gap);
    EXPECT_EQ(gapFile.state, FatFileState::kDeleted);
    ASSERT_EQ(gapFile.candidates.size(), 1u);
    EXPECT_EQ(gapFile.candidates[0].runs, asMediumRuns(gap.runs));
}

TEST_F(FatMapOfACard, AFileWhoseEntryWasOverwrittenIsNotInTheMap) {
    const CardFile& lost = card_->file(test::kRoleOverwrittenEntry);
    EXPECT_FALSE(lost.listed);
    for (const FatFile& file : map_->files) {
        EXPECT_NE(file.name, lost.name);
        for (const FatPlacement& placement : file.candidates)
            EXPECT_NE(placement.runs.front().offset, lost.runs.front().offset) << file.name;
    }
    const FatFile& newer = mapped(card_->file(test::kRoleNewEntry));
    EXPECT_EQ(newer.state, FatFileState::kLive);
    EXPECT_EQ(newer.size, 0u);
    EXPECT_TRUE(newer.runs.empty());
}

TEST_F(FatMapOfACard, GroundTruthHashesComeFromSha256sum) {
    // SHA-256 of the empty input, as every implementation gives it.
    EXPECT_EQ(card_->file(test::kRoleNewEntry).sha256,
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    for (const CardFile& file : card_->files)
        EXPECT_EQ(file.sha256.size(), 64u) << file.name;
}

// FAT12 and FAT16 keep their root folder in a fixed area; subfolders,
// long names and deleted files work the same way as on FAT32.
class FatMapOfSmallVolumes : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override { SKIP_WITHOUT_TOOLS("mkfs.vfat", "mcopy", "mdel", "mmd", "mshowfat", "sfdisk"); }

    bool mtools(const std::string& command) {
        return test::runTool("MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 " + command, &log);
    }
    size_t pieces(const std::string& target) {
        std::string output;
        test::toolOutput("MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 mshowfat -i " + target, output);
        return static_cast<size_t>(std::count(output.begin(), output.end(), '<'));
    }

    test::TempDir dir;
    std::string log;
};

TEST_P(FatMapOfSmallVolumes, FilesInTheRootAndInFoldersComeBackWhole) {
    const int bits = GetParam();
    const fs::path image = dir.path() / "disk.img";
    // A FAT volume in a partition that starts at sector 2048.
    ASSERT_TRUE(test::makeBlankImage(image, 20 << 20));
    ASSERT_TRUE(test::writeTable(image, {{2048, 36864, bits == 12 ? "1" : "6"}}));
    ASSERT_TRUE(test::makeFat(image, 2048, bits == 12 ? 8192 : 36864, bits, "SMALL"));
    const std::string at = test::shellQuoted(image.string() + "@@" + std::to_string(2048 * 512));
    const std::string photo = test::dataPath("jpeg/camera_320x240.jpg");
    const std::string song = test::dataPath("audio/tone_id3v2.mp3");
    const std::string note = test::dataPath("pdf/libreoffice_note.pdf");
    ASSERT_TRUE(mtools("mmd -i " + at + " ::/Photos") && mtools("mmd -i " + at + " ::/Photos/2024"));
    ASSERT_TRUE(mtools("mcopy -i " + at + " " + test::shellQuoted(note) + " ::/NOTE.PDF"));
    ASSERT_TRUE(
        mtools("mcopy -i " + at + " " + test::shellQuoted(photo) + " '::/Photos/2024/Beach day.jpg'"));
    ASSERT_TRUE(
        mtools("mcopy -i " + at + " " + test::shellQuoted(song) + " '::/Photos/Song of the day.mp3'"));
    ASSERT_TRUE(mtools("mdel -i " + at + " ::/NOTE.PDF")) << log;
    const std::optional<FatMap> map = mapImage(image);
    ASSERT_TRUE(map.has_value());
    const FatFile* beach = find(*map, "Photos/2024", "Beach day.jpg");
    const FatFile* songFile = find(*map, "Photos", "Song of the day.mp3");
    const FatFile* deleted = find(*map, "", "_OTE.PDF");
    ASSERT_TRUE(beach && songFile && deleted);
    EXPECT_EQ(beach->runs.size(), pieces(at + " '::/Photos/2024/Beach day.jpg'"));
    EXPECT_EQ(bytesAt(image, beach->runs), test::readFile(photo));
    EXPECT_EQ(bytesAt(image, songFile->runs), test::readFile(song));
    EXPECT_EQ(deleted->state, FatFileState::kDeleted);
    ASSERT_EQ(deleted->candidates.size(), 1u);
    EXPECT_EQ(bytesAt(image, deleted->candidates[0].runs), test::readFile(note));
}

INSTANTIATE_TEST_SUITE_P(Kinds, FatMapOfSmallVolumes, ::testing::Values(12, 16));

// The short names' upper half is code page 437, as iconv converts it.
TEST(FatNames, CodePage437AgreesWithIconv) {
    SKIP_WITHOUT_TOOLS("iconv");
    test::TempDir dir;
    std::vector<uint8_t> high;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        high.push_back(static_cast<uint8_t>(byte));
    test::writeFile(dir.path() / "high.bin", high);
    std::string expected;
    ASSERT_TRUE(test::toolOutput(
        "iconv -f CP437 -t UTF-8 " + test::shellQuoted((dir.path() / "high.bin").string()), expected));
    std::string ours;
    for (const uint8_t byte : high)
        appendUtf8(ours, codePage437(byte));
    EXPECT_EQ(ours, expected);
}

}  // namespace
}  // namespace salvora

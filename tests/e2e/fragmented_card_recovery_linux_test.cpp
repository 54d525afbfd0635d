// Recovery of a FAT32 card laid out by mkfs.vfat and mtools with fragmented,
// deleted and overwritten files: every file whose data is still on the card
// comes back byte-exact, with the byte runs mshowfat gave for it, whatever
// other data lies between its pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "e2e/card_layout.h"
#include "formats/family_table.h"
#include "media/image_reader.h"
#include "recovery_app/core/recovery_aids.h"
#include "support/disk_images.h"
#include "support/fragmented_card.h"
#include "support/recovery_harness.h"

namespace salvora {
namespace {

using test::CardFile;
using test::FragmentedCard;

#define SKIP_WITHOUT_CARD_TOOLS() \
    SKIP_WITHOUT_TOOLS("mkfs.vfat", "mcopy", "mshowfat", "mdel", "mmd", "sha256sum")

std::vector<std::pair<uint64_t, uint64_t>> truthRuns(const CardFile& file) {
    std::vector<std::pair<uint64_t, uint64_t>> runs;
    for (const test::TruthRun& run : file.runs)
        runs.emplace_back(run.offset, run.length);
    return runs;
}

std::vector<std::pair<uint64_t, uint64_t>> savedRuns(const SavedFile& file) {
    std::vector<std::pair<uint64_t, uint64_t>> runs;
    for (const ByteRun& run : file.runs)
        runs.emplace_back(run.offset, run.length);
    return runs;
}

std::string baseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

class FragmentedCardRecovery : public ::testing::Test {
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
        if (!built_)
            return;
        std::string whyNot;
        const auto medium = openImage(card_->image.string(), whyNot);
        if (!medium)
            return;
        RecoveryAids aids;
        aids.prepare(*medium, 0, 0, true);
        mapped_ = aids.mapped();
        recovery_ =
            new test::Recovery(test::recoverRange(*medium, 0, 0, defaultEnabledFamilies(), aids.aids()));
    }
    static void TearDownTestSuite() {
        delete recovery_;
        delete card_;
        delete dir_;
        recovery_ = nullptr;
        card_ = nullptr;
        dir_ = nullptr;
    }
    void SetUp() override {
        SKIP_WITHOUT_CARD_TOOLS();
        ASSERT_TRUE(built_) << log_;
        ASSERT_TRUE(mapped_);
        ASSERT_NE(recovery_, nullptr);
        ASSERT_EQ(recovery_->result, kScanFinished);
    }

    // The saved file that starts where `file` starts.
    static const SavedFile* savedFor(const CardFile& file) {
        for (const SavedFile& saved : recovery_->saved) {
            if (saved.startOffset == file.runs.front().offset)
                return &saved;
        }
        return nullptr;
    }

    static std::vector<uint8_t> contentOf(const SavedFile& saved) {
        const auto found = recovery_->files.find(baseName(saved.path));
        return found == recovery_->files.end() ? std::vector<uint8_t>{} : found->second;
    }

    // `role` came back byte-exact from where it lies, with its runs.
    static void expectRecovered(const std::string& role) {
        const CardFile& file = card_->file(role);
        const SavedFile* saved = savedFor(file);
        ASSERT_NE(saved, nullptr) << role;
        EXPECT_EQ(contentOf(*saved), file.bytes) << role << " (" << saved->path << ")";
        EXPECT_EQ(savedRuns(*saved), truthRuns(file)) << role;
        EXPECT_EQ(saved->joined, file.runs.size() > 1) << role;
        EXPECT_FALSE(saved->partial) << role;
    }

    static inline test::TempDir* dir_ = nullptr;
    static inline FragmentedCard* card_ = nullptr;
    static inline test::Recovery* recovery_ = nullptr;
    static inline bool built_ = false;
    static inline bool mapped_ = false;
    static inline std::string log_;
};

TEST_F(FragmentedCardRecovery, LiveFragmentedFilesComeBackAlongTheirChains) {
    expectRecovered(test::kRoleLiveJpeg);
    expectRecovered(test::kRoleLiveMp3);
    expectRecovered(test::kRoleLiveWav);
}

TEST_F(FragmentedCardRecovery, DeletedFileAroundALiveOneStepsOverItsClusters) {
    expectRecovered(test::kRoleDeletedAroundLive);
}

TEST_F(FragmentedCardRecovery, DeletedTwoFragmentPhotoIsJoinedOverTheGapFile) {
    expectRecovered(test::kRoleDeletedTwoFragmentJpeg);
    expectRecovered(test::kRoleGap);
}

TEST_F(FragmentedCardRecovery, FileWhoseEntryWasOverwrittenIsCarved) {
    expectRecovered(test::kRoleOverwrittenEntry);
    EXPECT_TRUE(savedFor(card_->file(test::kRoleOverwrittenEntry))->sourceName.empty());
}

TEST_F(FragmentedCardRecovery, FilesTheFolderListsAreNamedAfterTheirEntries) {
    for (const char* role :
         {test::kRoleLiveJpeg, test::kRoleLiveMp3, test::kRoleLiveWav, test::kRoleDeletedAroundLive,
          test::kRoleGap, test::kRoleDeletedTwoFragmentJpeg}) {
        const CardFile& file = card_->file(role);
        const SavedFile* saved = savedFor(file);
        ASSERT_NE(saved, nullptr) << role;
        EXPECT_EQ(saved->sourceName, file.name) << role;
        const std::string name = baseName(saved->path);
        ASSERT_GT(name.size(), 8u);
        EXPECT_EQ(name.substr(0, 2), "KV");
        EXPECT_EQ(name.substr(7), "_" + file.name) << role;
    }
    EXPECT_EQ(baseName(savedFor(card_->file(test::kRoleOverwrittenEntry))->path).size(),
              std::string("KV00000.jpg").size());
}

// No piece of a fragmented file comes back on its own or inside another file.
TEST_F(FragmentedCardRecovery, NoFileIsSplitOrOverlong) {
    for (const CardFile& file : card_->files) {
        if (file.role == test::kRoleFiller || file.role == test::kRoleNewEntry)
            continue;
        const SavedFile* saved = savedFor(file);
        if (saved) {
            EXPECT_EQ(saved->size, file.size) << file.role;
        }
        for (size_t run = 1; run < file.runs.size(); ++run) {
            for (const SavedFile& other : recovery_->saved)
                EXPECT_NE(other.startOffset, file.runs[run].offset) << file.role << " piece " << run;
        }
    }
}

// Regression: a card whose FATs were wiped (both copies zeroed) gives no
// map to follow; what carving alone recovers is all still there, and a
// joined photo is only ever one of the originals.
TEST_F(FragmentedCardRecovery, WipedFatsLoseNothingAndJoinNothingWrong) {
    const std::filesystem::path wiped = dir_->path() / "wiped.img";
    std::filesystem::copy_file(card_->image, wiped, std::filesystem::copy_options::overwrite_existing);
    std::vector<uint8_t> boot(512);
    {
        std::ifstream in(wiped, std::ios::binary);
        in.read(reinterpret_cast<char*>(boot.data()), 512);
    }
    // FAT32 boot sector: reserved sectors at 14, number of FATs at 16, sectors per FAT at 36.
    const uint64_t reserved = boot[14] | boot[15] << 8;
    const uint64_t perFat = boot[36] | boot[37] << 8 | boot[38] << 16 | uint64_t{boot[39]} << 24;
    const std::vector<char> zeros(static_cast<size_t>(boot[16] * perFat * 512), 0);
    {
        std::fstream out(wiped, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(reserved * 512));
        out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    }
    std::string whyNot;
    const auto medium = openImage(wiped.string(), whyNot);
    ASSERT_NE(medium, nullptr) << whyNot;
    const test::Recovery alone = test::recoverRange(*medium, 0, 0, defaultEnabledFamilies());
    RecoveryAids aids;
    aids.prepare(*medium, 0, 0, true);
    const test::Recovery aided = test::recoverRange(*medium, 0, 0, defaultEnabledFamilies(), aids.aids());
    ASSERT_EQ(aided.result, kScanFinished);
    std::vector<std::vector<uint8_t>> originals;
    for (const CardFile& file : card_->files)
        originals.push_back(file.bytes);
    for (const SavedFile& file : aided.saved) {
        if (file.joined) {
            const std::vector<uint8_t>& content = aided.files.at(baseName(file.path));
            EXPECT_NE(std::find(originals.begin(), originals.end(), content), originals.end()) << file.path;
        }
    }
    for (const SavedFile& file : alone.saved) {
        const SavedFile* same = nullptr;
        for (const SavedFile& other : aided.saved)
            same = other.startOffset == file.startOffset ? &other : same;
        ASSERT_NE(same, nullptr) << file.startOffset;
        if (!same->joined) {
            EXPECT_EQ(aided.files.at(baseName(same->path)), alone.files.at(baseName(file.path))) << file.path;
        }
    }
}

// Regression: a listed file carved along its chain lost the walk state its
// recogniser set (so a PNG, GIF or MKV walk failed at once and the file was
// carved as if contiguous, cut at its first piece), and its last block was
// written only up to the listed size, so FLAC's end check could not measure
// the last frame and dropped it (68,058 of 69,150 bytes). Each family must
// end right along the chain, every piece in place.
class LivePiecesCardRecovery : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!test::missingTools({"mkfs.vfat", "mcopy", "mshowfat", "mdel", "mmd", "sha256sum", "convert"})
                 .empty()) {
            return;
        }
        dir_ = new test::TempDir;
        const std::filesystem::path gif = dir_->path() / "animated.gif";
        if (!test::runTool("convert -delay 10 -size 120x90 plasma: plasma: plasma: plasma: -loop 0 " +
                               test::shellQuoted(gif.string()),
                           &log_)) {
            return;
        }
        // A recording cut short before it was copied: its frames stop before its total.
        const std::filesystem::path cut = dir_->path() / "cut.flac";
        test::writeFile(cut, test::prefix(test::readFile(test::dataPath("audio/tone.flac")), 12288));
        card_ = new FragmentedCard;
        built_ = test::buildLivePiecesCard(
            dir_->path() / "card.img",
            {{"FLAC", "MUSIC", "Morning tone.flac", test::dataPath("audio/tone.flac"), {{20, 3}, {15, 2}}},
             {"PNG", "DCIM", "PHOTO.PNG", test::dataPath("picture/photo.png"), {{30, 2}}},
             {"GIF", "DCIM", "Waving flag.gif", gif, {{12, 2}, {9, 1}}},
             {"MKV", "VIDEO", "clip.mkv", test::dataPath("video/clip.mkv"), {{2, 1}}},
             {"CUT", "MUSIC", "Cut tone.flac", cut, {{1, 1}}}},
            *card_, log_);
        if (!built_)
            return;
        std::string whyNot;
        const auto medium = openImage(card_->image.string(), whyNot);
        if (!medium)
            return;
        RecoveryAids aids;
        aids.prepare(*medium, 0, 0, true);
        mapped_ = aids.mapped();
        recovery_ =
            new test::Recovery(test::recoverRange(*medium, 0, 0, defaultEnabledFamilies(), aids.aids()));
    }
    static void TearDownTestSuite() {
        delete recovery_;
        delete card_;
        delete dir_;
        recovery_ = nullptr;
        card_ = nullptr;
        dir_ = nullptr;
    }
    void SetUp() override {
        SKIP_WITHOUT_TOOLS("mkfs.vfat", "mcopy", "mshowfat", "mdel", "mmd", "sha256sum", "convert");
        ASSERT_TRUE(built_) << log_;
        ASSERT_TRUE(mapped_);
        ASSERT_NE(recovery_, nullptr);
        ASSERT_EQ(recovery_->result, kScanFinished);
    }

    // `role` came back whole from where it starts, along its chain, named after its entry.
    static void expectWholeAlongItsChain(const std::string& role) {
        const CardFile& file = card_->file(role);
        const SavedFile* saved = nullptr;
        for (const SavedFile& candidate : recovery_->saved)
            saved = candidate.startOffset == file.runs.front().offset ? &candidate : saved;
        ASSERT_NE(saved, nullptr) << role;
        const auto content = recovery_->files.find(baseName(saved->path));
        ASSERT_NE(content, recovery_->files.end()) << role;
        EXPECT_EQ(content->second.size(), file.size) << role;
        EXPECT_EQ(content->second, file.bytes) << role;
        EXPECT_EQ(savedRuns(*saved), truthRuns(file)) << role;
        EXPECT_TRUE(saved->joined) << role;
        EXPECT_FALSE(saved->partial) << role;
        EXPECT_EQ(saved->sourceName, file.name) << role;
        // No later piece comes back as a file of its own.
        for (size_t run = 1; run < file.runs.size(); ++run) {
            for (const SavedFile& other : recovery_->saved)
                EXPECT_NE(other.startOffset, file.runs[run].offset) << role << " piece " << run;
        }
    }

    static inline test::TempDir* dir_ = nullptr;
    static inline FragmentedCard* card_ = nullptr;
    static inline test::Recovery* recovery_ = nullptr;
    static inline bool built_ = false;
    static inline bool mapped_ = false;
    static inline std::string log_;
};

TEST_F(LivePiecesCardRecovery, FlacEndsWithItsLastFrame) {
    expectWholeAlongItsChain("FLAC");
}

TEST_F(LivePiecesCardRecovery, PictureWalksGoOnAcrossThePieces) {
    expectWholeAlongItsChain("PNG");
    expectWholeAlongItsChain("GIF");
}

TEST_F(LivePiecesCardRecovery, MatroskaWalkGoesOnAcrossThePieces) {
    expectWholeAlongItsChain("MKV");
}

// Regression: a listed FLAC whose frames stop before the total its
// STREAMINFO gives came back cut at its last whole frame but not marked
// partial.
TEST_F(LivePiecesCardRecovery, FlacThatStopsBeforeItsTotalIsMarkedPartial) {
    const CardFile& file = card_->file("CUT");
    const SavedFile* saved = nullptr;
    for (const SavedFile& candidate : recovery_->saved)
        saved = candidate.startOffset == file.runs.front().offset ? &candidate : saved;
    ASSERT_NE(saved, nullptr);
    EXPECT_TRUE(saved->partial);
    EXPECT_EQ(saved->sourceName, file.name);
    // ffprobe: the frame at 10,776 (1,242 bytes) is the last to end before 12,288.
    const auto content = recovery_->files.find(baseName(saved->path));
    ASSERT_NE(content, recovery_->files.end());
    EXPECT_EQ(content->second, test::prefix(file.bytes, 12018));
}

}  // namespace
}  // namespace salvora

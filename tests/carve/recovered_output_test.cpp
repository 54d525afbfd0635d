#include "carve/recovered_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "media/memory_reader.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

const FileFamily kFamily{"dat", "", 0, 0, OutputMode::kWrite, 1, nullptr};

const char* gNewExtension = nullptr;
uint64_t gNewSize = 0;
void endCheckSetting(CarveCandidate& candidate) {
    if (gNewExtension)
        candidate.extension = gNewExtension;
    candidate.size = gNewSize;
}

class CloseCandidate : public ::testing::Test {
  protected:
    CloseCandidate() : medium(std::vector<uint8_t>(1 << 20)) {
        tally.family = &kFamily;
        space.add({0, (1 << 20) - 1, &tally, 1});
        folder.open(dir.folder());
    }

    // A file in progress with `blocks` blocks of 512 bytes written, on disk
    // (as a file that outgrew memory) unless `inMemory`.
    void start(const char* extension, int blocks, bool inMemory = false) {
        resetCandidate(file);
        file.tally = &tally;
        file.extension = extension;
        file.startRange = space.begin();
        file.output = OutputFile(folder, extension, inMemory ? OutputFile::kMemoryHead : 0);
        std::vector<uint8_t> block(512);
        for (int i = 0; i < blocks; ++i) {
            std::fill(block.begin(), block.end(), static_cast<uint8_t>('a' + i));
            ASSERT_EQ(file.output.append(block.data(), block.size()), 0);
        }
        file.size = 512u * blocks;
        file.endCheck = endCheckSetting;
        gNewExtension = nullptr;
        gNewSize = file.size;
    }

    std::optional<RangeRef> close() {
        return closeCandidate(file, saved, 512, space, medium, &info, &status);
    }

    test::TempDir dir;
    OutputFolder folder;
    MemoryReader medium;
    FamilyTally tally;
    SearchSpace space;
    CarveCandidate file;
    uint32_t saved = 0;
    SavedFile info;
    Status status;
};

TEST_F(CloseCandidate, CutsTheFileToItsSizeAndKeepsIt) {
    start("dat", 3);
    gNewSize = 1000;
    ASSERT_TRUE(close());
    EXPECT_EQ(saved, 1u);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.dat"}));
    EXPECT_EQ(fs::file_size(dir.path() / "KV00000.dat"), 1000u);
    EXPECT_EQ(info.size, 1000u);
    EXPECT_EQ(info.extension, "dat");
}

TEST_F(CloseCandidate, SizeZeroDeletesTheFileAndReturnsNothing) {
    start("dat", 2);
    gNewSize = 0;
    EXPECT_FALSE(close());
    EXPECT_EQ(saved, 0u);
    EXPECT_TRUE(dir.fileNames().empty());
}

TEST_F(CloseCandidate, FileBelowItsMinimumIsDroppedOneAtTheMinimumIsKept) {
    start("dat", 1);
    file.minSize = 513;
    EXPECT_FALSE(close());
    start("dat", 2);
    file.minSize = 1024;
    EXPECT_TRUE(close());
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.dat"}))
        << "the dropped file left its number";
}

TEST_F(CloseCandidate, NewExtensionRenamesTheFileWithItsNumber) {
    for (const bool inMemory : {false, true}) {
        start("dat", 2, inMemory);
        gNewExtension = "xls";
        gNewSize = 700;
        ASSERT_TRUE(close());
        const std::string name = inMemory ? "KV00001.xls" : "KV00000.xls";
        EXPECT_EQ(fs::file_size(dir.path() / name), 700u);
        EXPECT_EQ(info.path, (dir.path() / name).string());
    }
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.xls", "KV00001.xls"}));
}

TEST_F(CloseCandidate, SizeBeyondTheMediumIsCutToTheMedium) {
    MemoryReader small(std::vector<uint8_t>(800));
    start("dat", 2);
    gNewSize = 1 << 30;
    ASSERT_TRUE(closeCandidate(file, saved, 512, space, small, &info));
    EXPECT_EQ(fs::file_size(dir.path() / "KV00000.dat"), 800u);
    // A file that starts inside the medium holds at most the bytes up to its end.
    start("dat", 2);
    file.startOffset = 500;
    gNewSize = 1000;
    ASSERT_TRUE(closeCandidate(file, saved, 512, space, small, &info));
    EXPECT_EQ(fs::file_size(dir.path() / "KV00001.dat"), 300u);
}

TEST_F(CloseCandidate, EndCheckCannotGrowAFileBeyondWhatWasWritten) {
    start("dat", 2);
    gNewSize = 5000;  // a length taken from a corrupt header
    ASSERT_TRUE(close());
    EXPECT_EQ(fs::file_size(dir.path() / "KV00000.dat"), 1024u);
    // Only the written blocks leave the search space.
    ASSERT_FALSE(space.empty());
    EXPECT_EQ(space.front().start, 1024u);
}

// Regression: when the rename for a new extension fails, the data must stay
// under a name that exists, not be replaced by an empty file under the new name.
TEST_F(CloseCandidate, FailedRenameKeepsTheDataUnderItsOldName) {
    start("dat", 2);
    gNewExtension = "xls";
    gNewSize = 1000;
    // A folder where the new name should go makes the rename fail.
    fs::create_directory(dir.path() / "KV00000.xls");
    ASSERT_TRUE(close());
    EXPECT_EQ(fs::file_size(dir.path() / "KV00000.dat"), 1000u);
    EXPECT_TRUE(fs::is_directory(dir.path() / "KV00000.xls"));
    EXPECT_EQ(info.path, (dir.path() / "KV00000.dat").string());
    const auto bytes = test::readFile(dir.path() / "KV00000.dat");
    EXPECT_EQ(bytes[0], 'a');
    EXPECT_EQ(bytes[999], 'b');
}

TEST_F(CloseCandidate, NoFileInProgressDoesNothing) {
    resetCandidate(file);
    EXPECT_FALSE(close());
    EXPECT_EQ(saved, 0u);
}

TEST_F(CloseCandidate, AbandonedFileIsRemoved) {
    start("dat", 2);
    abandonCandidate(file);
    EXPECT_FALSE(file.output.isOpen());
    EXPECT_TRUE(dir.fileNames().empty());
}

TEST_F(CloseCandidate, AKeptFileTellsWhereItsBytesLie) {
    start("dat", 3);
    file.startOffset = 4096;
    gNewSize = 1400;
    ASSERT_TRUE(close());
    EXPECT_EQ(info.startOffset, 4096u);
    ASSERT_EQ(info.runs.size(), 1u);
    EXPECT_EQ(info.runs[0].offset, 4096u);
    EXPECT_EQ(info.runs[0].length, 1400u);
    EXPECT_FALSE(info.partial);
    EXPECT_TRUE(status.ok());
}

}  // namespace
}  // namespace salvora

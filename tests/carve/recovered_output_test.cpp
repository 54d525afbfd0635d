#include "carve/recovered_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "media/memory_reader.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

const FileFamily kFamily{"dat", "", 0, 0, 1, 1, nullptr};

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
        space.ranges.push_back({0, (1 << 20) - 1, &tally, 1});
    }

    // A file in progress numbered `number` with `blocks` blocks of 512 bytes written.
    void start(uint32_t number, const char* extension, int blocks) {
        resetCandidate(file);
        file.tally = &tally;
        file.extension = extension;
        file.startRange = space.ranges.begin();
        ASSERT_TRUE(outputPath(dir.folder(), number, extension, file.path));
        file.output = std::fopen(file.path.c_str(), "w+b");
        std::vector<uint8_t> block(512);
        for (int i = 0; i < blocks; ++i) {
            std::fill(block.begin(), block.end(), static_cast<uint8_t>('a' + i));
            std::fwrite(block.data(), 1, block.size(), file.output);
        }
        file.size = 512u * blocks;
        file.endCheck = endCheckSetting;
        gNewExtension = nullptr;
        gNewSize = file.size;
    }

    std::optional<RangeRef> close() { return closeCandidate(file, saved, 512, space, medium, &info); }

    test::TempDir dir;
    MemoryReader medium;
    FamilyTally tally;
    SearchSpace space;
    CarveCandidate file;
    uint32_t saved = 0;
    SavedFile info;
};

TEST_F(CloseCandidate, CutsTheFileToItsSizeAndKeepsIt) {
    start(0, "dat", 3);
    gNewSize = 1000;
    ASSERT_TRUE(close());
    EXPECT_EQ(saved, 1u);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.dat"}));
    EXPECT_EQ(fs::file_size(dir.path() / "KV00000.dat"), 1000u);
    EXPECT_EQ(info.size, 1000u);
    EXPECT_EQ(info.extension, "dat");
}

TEST_F(CloseCandidate, SizeZeroDeletesTheFileAndReturnsNothing) {
    start(4, "dat", 2);
    gNewSize = 0;
    EXPECT_FALSE(close());
    EXPECT_EQ(saved, 0u);
    EXPECT_TRUE(dir.fileNames().empty());
}

TEST_F(CloseCandidate, FileBelowItsMinimumIsDroppedOneAtTheMinimumIsKept) {
    start(0, "dat", 1);
    file.minSize = 513;
    EXPECT_FALSE(close());
    start(1, "dat", 2);
    file.minSize = 1024;
    EXPECT_TRUE(close());
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00001.dat"}));
}

TEST_F(CloseCandidate, NewExtensionRenamesTheFileWithItsNumber) {
    start(7, "dat", 2);
    gNewExtension = "xls";
    gNewSize = 700;
    ASSERT_TRUE(close());
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00007.xls"}));
    EXPECT_EQ(fs::file_size(dir.path() / "KV00007.xls"), 700u);
    EXPECT_EQ(info.path, (dir.path() / "KV00007.xls").string());
}

TEST_F(CloseCandidate, SizeBeyondTheMediumIsCutToTheMedium) {
    MemoryReader small(std::vector<uint8_t>(800));
    start(0, "dat", 2);
    gNewSize = 1 << 30;
    ASSERT_TRUE(closeCandidate(file, saved, 512, space, small, &info));
    EXPECT_EQ(fs::file_size(dir.path() / "KV00000.dat"), 800u);
    // A file that starts inside the medium holds at most the bytes up to its end.
    start(1, "dat", 2);
    file.startOffset = 500;
    gNewSize = 1000;
    ASSERT_TRUE(closeCandidate(file, saved, 512, space, small, &info));
    EXPECT_EQ(fs::file_size(dir.path() / "KV00001.dat"), 300u);
}

TEST_F(CloseCandidate, EndCheckCannotGrowAFileBeyondWhatWasWritten) {
    start(0, "dat", 2);
    gNewSize = 5000;  // a length taken from a corrupt header
    ASSERT_TRUE(close());
    EXPECT_EQ(fs::file_size(dir.path() / "KV00000.dat"), 1024u);
    // Only the written blocks leave the search space.
    ASSERT_FALSE(space.empty());
    EXPECT_EQ(space.ranges.front().start, 1024u);
}

// Regression: when the rename for a new extension fails, the data must stay
// under a name that exists, not be replaced by an empty file under the new name.
TEST_F(CloseCandidate, FailedRenameKeepsTheDataUnderItsOldName) {
    start(3, "dat", 2);
    gNewExtension = "xls";
    gNewSize = 1000;
    // A folder where the new name should go makes the rename fail.
    fs::create_directory(dir.path() / "KV00003.xls");
    ASSERT_TRUE(close());
    EXPECT_EQ(fs::file_size(dir.path() / "KV00003.dat"), 1000u);
    EXPECT_TRUE(fs::is_directory(dir.path() / "KV00003.xls"));
    EXPECT_EQ(info.path, (dir.path() / "KV00003.dat").string());
    const auto bytes = test::readFile(dir.path() / "KV00003.dat");
    EXPECT_EQ(bytes[0], 'a');
    EXPECT_EQ(bytes[999], 'b');
}

TEST_F(CloseCandidate, NoFileInProgressDoesNothing) {
    resetCandidate(file);
    EXPECT_FALSE(close());
    EXPECT_EQ(saved, 0u);
}

TEST_F(CloseCandidate, AbandonedFileIsRemoved) {
    start(2, "dat", 2);
    abandonCandidate(file);
    EXPECT_EQ(file.output, nullptr);
    EXPECT_TRUE(dir.fileNames().empty());
}

TEST(OutputPath, NamesWithAndWithoutExtension) {
    std::string path;
    ASSERT_TRUE(outputPath("/tmp/x/", 0, "jpg", path));
    EXPECT_EQ(path, "/tmp/x/KV00000.jpg");
    ASSERT_TRUE(outputPath("C:\\Saved Files\\", 123456, nullptr, path));
    EXPECT_EQ(path, "C:\\Saved Files\\KV123456");
    ASSERT_TRUE(outputPath("d/", 42, "", path));
    EXPECT_EQ(path, "d/KV00042");
}

// Regression: a name that does not fit the path buffer is refused, never cut short.
TEST(OutputPath, NameTooLongForThePathBufferIsRefused) {
    std::string path = "unchanged";
    const std::string folder(2040, 'f');
    EXPECT_FALSE(outputPath(folder + "/", 1, "jpg", path));
    EXPECT_TRUE(path.empty());
    EXPECT_TRUE(outputPath(std::string(2035, 'f') + "/", 1, "jpg", path));
    EXPECT_EQ(path.size(), 2047u);
}

}  // namespace
}  // namespace salvora

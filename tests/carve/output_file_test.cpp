// The file operations the output stage relies on, on the platform's own
// file system: 64-bit positions, cutting, renaming over a name, lengths,
// and names that are not plain ASCII.
#include "carve/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// The engine's UTF-8 text for a path.
std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path fromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

class OutputFile : public ::testing::Test {
  protected:
    std::string pathOf(const char8_t* name) const { return utf8(dir.path() / fs::path(name)); }
    test::TempDir dir;
};

TEST_F(OutputFile, CreatesAnEmptyFileAndEmptiesAnExistingOne) {
    const std::string path = pathOf(u8"KV00000.jpg");
    test::writeFile(fromUtf8(path), {1, 2, 3});
    std::FILE* file = openOutputFile(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(fileLength(path), 0);
    ASSERT_EQ(std::fwrite("abcd", 1, 4, file), 4u);
    // Opened for reading too: the recognisers read back what was written.
    ASSERT_TRUE(seekOutput(file, 1));
    char back[3] = {};
    ASSERT_EQ(std::fread(back, 1, 3, file), 3u);
    EXPECT_EQ(std::string(back, 3), "bcd");
    std::fclose(file);
    EXPECT_EQ(fileLength(path), 4);
}

TEST_F(OutputFile, NamesOutsideAsciiWorkEverywhere) {
    const fs::path folder = dir.path() / fs::path(u8"Fotos \u00DCrlaub \u65C5\u884C \U0001F4F7");
    fs::create_directory(folder);
    const std::string path = utf8(folder / "KV00000.jpg");
    std::FILE* file = openOutputFile(path);
    ASSERT_NE(file, nullptr) << path;
    std::fputs("photo", file);
    std::fclose(file);
    EXPECT_EQ(fileLength(path), 5);
    const std::string renamed = utf8(folder / "KV00000.tif");
    ASSERT_TRUE(renameReplacing(path, renamed));
    ASSERT_TRUE(cutFile(renamed, 2));
    EXPECT_EQ(test::readFile(folder / "KV00000.tif"), (std::vector<uint8_t>{'p', 'h'}));
    removeFile(renamed);
    EXPECT_EQ(fileLength(renamed), -1);
    EXPECT_TRUE(fs::is_empty(folder));
}

// Regression guard for 32-bit stream positions: recovered videos pass 4 GiB.
TEST_F(OutputFile, PositionsBeyondFourGibibytes) {
    std::FILE* file = openOutputFile(pathOf(u8"big.mov"));
    ASSERT_NE(file, nullptr);
    const uint64_t far = (5ull << 30) + 3;
    ASSERT_TRUE(seekOutput(file, far));
    EXPECT_EQ(tellOutput(file), static_cast<int64_t>(far));
    ASSERT_TRUE(seekOutputBy(file, -static_cast<int64_t>(far) + 10));
    EXPECT_EQ(tellOutput(file), 10);
    EXPECT_FALSE(seekOutput(file, UINT64_MAX));
    std::fclose(file);
    EXPECT_EQ(fileLength(pathOf(u8"big.mov")), 0);  // moving wrote nothing
}

TEST_F(OutputFile, RenameReplacesAFileOfTheSameName) {
    const std::string from = pathOf(u8"KV00001.jpg"), to = pathOf(u8"KV00001.cr2");
    test::writeFile(fromUtf8(from), {1, 2, 3});
    test::writeFile(fromUtf8(to), {9});
    ASSERT_TRUE(renameReplacing(from, to));
    EXPECT_EQ(fileLength(from), -1);
    EXPECT_EQ(test::readFile(fromUtf8(to)), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(OutputFile, FailedRenameLeavesTheFileWhereItWas) {
    const std::string from = pathOf(u8"KV00002.jpg");
    test::writeFile(fromUtf8(from), {1, 2, 3});
    EXPECT_FALSE(renameReplacing(from, pathOf(u8"no such folder/KV00002.tif")));
    EXPECT_EQ(fileLength(from), 3);
}

TEST_F(OutputFile, CuttingNeedsAnExistingFileAndNeverCreatesOne) {
    const std::string missing = pathOf(u8"missing.jpg");
    EXPECT_FALSE(cutFile(missing, 10));
    EXPECT_EQ(fileLength(missing), -1);
    const std::string path = pathOf(u8"KV00003.jpg");
    test::writeFile(fromUtf8(path), std::vector<uint8_t>(1000, 7));
    ASSERT_TRUE(cutFile(path, 600));
    EXPECT_EQ(fileLength(path), 600);
}

TEST_F(OutputFile, LengthOfAMissingFileIsMinusOneAndRemovingItIsHarmless) {
    EXPECT_EQ(fileLength(pathOf(u8"nothing")), -1);
    removeFile(pathOf(u8"nothing"));  // no harm
}

}  // namespace
}  // namespace salvora

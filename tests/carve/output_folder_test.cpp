// The output folder on the platform's own file system: new files only, never
// an existing name, renames that never replace, positions beyond 4 GiB, names
// that are not plain ASCII, and the numbering of recovered files.
#include "carve/output_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
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

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::string readBack(FolderFile& file, uint64_t offset, size_t length) {
    std::string text(length, '\0');
    const int64_t got = file.readAt(offset, text.data(), length);
    text.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return text;
}

class Folder : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(folder.open(dir.folder()), 0); }

    FolderFile create(const std::string& name) {
        int error = -1;
        FolderFile file = folder.create(name, error);
        EXPECT_EQ(error, 0) << name;
        return file;
    }
    void write(FolderFile& file, const std::string& text, uint64_t offset = 0) {
        size_t written = 0;
        ASSERT_EQ(file.writeAt(reinterpret_cast<const uint8_t*>(text.data()), text.size(), offset, written),
                  0);
        EXPECT_EQ(written, text.size());
    }

    test::TempDir dir;
    OutputFolder folder;
};

TEST_F(Folder, CreatesANewFileForReadingAndWritingAndNeverOpensAnExistingName) {
    test::writeFile(dir.path() / "KV00000.jpg", {1, 2, 3});
    int error = 0;
    EXPECT_FALSE(folder.create("KV00000.jpg", error).isOpen());
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.jpg"), (std::vector<uint8_t>{1, 2, 3}));

    FolderFile file = create("KV00001.jpg");
    ASSERT_TRUE(file.isOpen());
    write(file, "abcd");
    // Opened for reading too: the end checks read back what was written.
    EXPECT_EQ(readBack(file, 1, 3), "bcd");
    EXPECT_EQ(readBack(file, 2, 100), "cd") << "a read at the end is short";
    EXPECT_EQ(file.close(), 0);
    EXPECT_EQ(file.close(), 0) << "closing twice does nothing";
    EXPECT_EQ(test::readFile(dir.path() / "KV00001.jpg"), bytesOf("abcd"));
}

TEST_F(Folder, NamesOutsideAsciiWorkEverywhere) {
    const fs::path inner = dir.path() / fs::path(u8"Fotos \u00DCrlaub \u65C5\u884C \U0001F4F7");
    fs::create_directory(inner);
    OutputFolder accented;
    ASSERT_EQ(accented.open(utf8(inner) + static_cast<char>(fs::path::preferred_separator)), 0);
    int error = 0;
    FolderFile file = accented.create("KV00000.jpg", error);
    ASSERT_TRUE(file.isOpen()) << error;
    write(file, "photo");
    ASSERT_EQ(file.truncate(2), 0);
    ASSERT_EQ(file.close(), 0);
    ASSERT_EQ(accented.rename("KV00000.jpg", "KV00000.tif"), 0);
    EXPECT_EQ(test::readFile(inner / "KV00000.tif"), bytesOf("ph"));
    EXPECT_EQ(accented.remove("KV00000.tif"), 0);
    EXPECT_TRUE(fs::is_empty(inner));
}

// Regression guard for 32-bit positions: recovered videos pass 4 GiB.
TEST_F(Folder, PositionsBeyondFourGibibytes) {
    FolderFile file = create("big.mov");
    const uint64_t far = (5ull << 30) + 3;
    EXPECT_EQ(readBack(file, far, 4), "") << "nothing to read beyond the end";
    write(file, "x", far);
    EXPECT_EQ(readBack(file, far, 4), "x");
    ASSERT_EQ(file.truncate(10), 0);
    EXPECT_EQ(readBack(file, far, 4), "");
    file.close();
    EXPECT_EQ(fs::file_size(dir.path() / "big.mov"), 10u);
}

TEST_F(Folder, RenameNeverReplacesAFileOfTheSameName) {
    test::writeFile(dir.path() / "KV00001.jpg", {1, 2, 3});
    test::writeFile(dir.path() / "KV00001.cr2", {9});
    EXPECT_EQ(folder.rename("KV00001.jpg", "KV00001.cr2"), EEXIST);
    EXPECT_EQ(test::readFile(dir.path() / "KV00001.jpg"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(test::readFile(dir.path() / "KV00001.cr2"), (std::vector<uint8_t>{9}));
}

TEST_F(Folder, FailedRenameLeavesTheFileWhereItWas) {
    test::writeFile(dir.path() / "KV00002.jpg", {1, 2, 3});
    EXPECT_NE(folder.rename("KV00002.jpg", "no such folder/KV00002.tif"), 0);
    EXPECT_EQ(fs::file_size(dir.path() / "KV00002.jpg"), 3u);
}

TEST_F(Folder, CuttingSetsTheLength) {
    FolderFile file = create("KV00003.jpg");
    write(file, std::string(1000, '7'));
    ASSERT_EQ(file.truncate(600), 0);
    file.close();
    EXPECT_EQ(fs::file_size(dir.path() / "KV00003.jpg"), 600u);
}

TEST_F(Folder, RemovingAMissingFileIsHarmless) {
    EXPECT_EQ(folder.remove("nothing"), ENOENT);
    EXPECT_TRUE(dir.fileNames().empty());
}

TEST_F(Folder, AFolderThatIsNotThereCannotBeOpened) {
    OutputFolder missing;
    EXPECT_EQ(missing.open(utf8(dir.path() / "missing") + static_cast<char>(fs::path::preferred_separator)),
              ENOENT);
    EXPECT_FALSE(missing.isOpen());
}

// --- Numbering ----------------------------------------------------------------

TEST(OutputName, KvNumberOfAtLeastFiveDigitsAndTheExtension) {
    EXPECT_EQ(outputName(0, "jpg"), "KV00000.jpg");
    EXPECT_EQ(outputName(123456, nullptr), "KV123456");
    EXPECT_EQ(outputName(42, ""), "KV00042");
    EXPECT_EQ(outputName(4294967295u, "m2ts"), "KV4294967295.m2ts");
}

TEST(OutputNumber, OnlyKvAndFiveOrMoreDigitsAloneOrBeforeADot) {
    uint32_t number = 0;
    EXPECT_TRUE(outputNumber("KV00007.jpg", number));
    EXPECT_EQ(number, 7u);
    EXPECT_TRUE(outputNumber("KV123456", number));
    EXPECT_EQ(number, 123456u);
    EXPECT_TRUE(outputNumber("KV00012.tar.gz", number));
    EXPECT_EQ(number, 12u);
    for (const char* other :
         {"KV1234.jpg", "kv00010.jpg", "KV00009x", "KV", "XKV00001.jpg", "KV99999999999.jpg"})
        EXPECT_FALSE(outputNumber(other, number)) << other;
}

TEST(NumberAfter, OnePastTheHighestOutputName) {
    EXPECT_EQ(numberAfter({}), 0u);
    EXPECT_EQ(numberAfter({"notes.txt", "KV1.jpg"}), 0u);
    EXPECT_EQ(numberAfter({"KV00000.jpg"}), 1u);
    EXPECT_EQ(numberAfter({"KV00003.pdf", "KV00041", "KV00007.jpg", "report.csv"}), 42u);
    EXPECT_EQ(numberAfter({"KV4294967295.jpg"}), 4294967295u)
        << "the last number: creation will find it taken";
}

TEST_F(Folder, NumberingStartsOnePastTheHighestNameAlreadyThere) {
    EXPECT_EQ(folder.nextNumber(), 0u);
    test::writeFile(dir.path() / "KV00004.jpg", {1});
    fs::create_directory(dir.path() / "KV00011");
    test::writeFile(dir.path() / "KV7.jpg", {1});
    OutputFolder again;
    ASSERT_EQ(again.open(dir.folder()), 0);
    EXPECT_EQ(again.nextNumber(), 12u);
}

TEST_F(Folder, NumberedFilesSkipNamesThatAreTakenAndFollowTheKeptCount) {
    std::string name;
    uint32_t number = 99;
    int error = 0;
    // Names taken after the folder was opened, as by a second recovery into it.
    test::writeFile(dir.path() / "KV00000.jpg", {5});
    fs::create_directory(dir.path() / "KV00001.jpg");
    FolderFile file = folder.createNumbered("jpg", name, number, error);
    ASSERT_TRUE(file.isOpen()) << error;
    EXPECT_EQ(name, "KV00002.jpg");
    EXPECT_EQ(number, 2u);
    file.close();
    // Not kept: the next file tries the same numbers again.
    folder.remove(name);
    FolderFile again = folder.createNumbered("pdf", name, number, error);
    EXPECT_EQ(name, "KV00000.pdf") << "another extension: that name is free";
    folder.numberKept(number);
    FolderFile next = folder.createNumbered(nullptr, name, number, error);
    EXPECT_EQ(name, "KV00001") << "a folder named KV00001.jpg does not take KV00001";
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.jpg"), (std::vector<uint8_t>{5}));
}

}  // namespace
}  // namespace salvora

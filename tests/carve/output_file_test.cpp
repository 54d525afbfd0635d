// The file being recovered: held in memory until it is kept or outgrows its
// memory, written in large pieces once on disk, read back from either, kept
// under its final name and length, and never left behind when dropped.
#include "carve/output_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <numeric>

#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// Bytes 0, 1, 2, ... 250, 0, 1, ...: every offset holds a byte that tells it apart from its neighbours.
std::vector<uint8_t> pattern(size_t length, size_t from = 0) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>((from + i) % 251);
    return bytes;
}

class Output : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(folder.open(dir.folder()), 0); }

    // Appends `total` bytes of the pattern in blocks of 512, as the carve loop does.
    void appendBlocks(OutputFile& output, size_t total) {
        const std::vector<uint8_t> bytes = pattern(total);
        for (size_t at = 0; at < total; at += 512)
            ASSERT_EQ(output.append(bytes.data() + at, std::min<size_t>(512, total - at)), 0) << at;
    }
    std::vector<uint8_t> readBack(OutputFile& output, uint64_t offset, size_t length) {
        std::vector<uint8_t> bytes(length, 0xEE);
        bytes.resize(output.readAt(offset, bytes.data(), length));
        return bytes;
    }
    uint64_t lengthOnDisk(const std::string& name) { return fs::file_size(dir.path() / name); }

    test::TempDir dir;
    OutputFolder folder;
};

TEST_F(Output, AFileDroppedWhileInMemoryNeverTouchesTheDisk) {
    OutputFile output(folder, "jpg");
    appendBlocks(output, 3 << 20);
    EXPECT_FALSE(output.onDisk());
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_EQ(output.size(), 3u << 20);
    output.remove();
    EXPECT_FALSE(output.isOpen());
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(Output, AKeptFileIsCreatedUnderItsFinalNameAndLengthInOneGo) {
    OutputFile output(folder, "dat");
    appendBlocks(output, 5 * 512);
    ASSERT_EQ(output.keep(2000, "xls"), 0);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.xls"}));
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.xls"), pattern(2000));
    EXPECT_EQ(output.path(), dir.folder() + "KV00000.xls");
    EXPECT_FALSE(output.isOpen());
    EXPECT_EQ(folder.nextNumber(), 1u) << "the next file takes the next number";
}

TEST_F(Output, OutgrowingItsMemoryCreatesTheFileAndWritesInPiecesOfAMebibyte) {
    OutputFile output(folder, "mov", 64 * 1024);
    appendBlocks(output, 64 * 1024);
    EXPECT_FALSE(output.onDisk()) << "exactly full: still in memory";
    const std::vector<uint8_t> more = pattern(512, 64 * 1024);
    ASSERT_EQ(output.append(more.data(), more.size()), 0);
    ASSERT_TRUE(output.onDisk());
    EXPECT_EQ(output.path(), dir.folder() + "KV00000.mov");
    EXPECT_EQ(lengthOnDisk("KV00000.mov"), 64u * 1024 + 512) << "the memory went out at once";
    // Later data waits in memory until a whole piece can go out.
    const std::vector<uint8_t> piece = pattern(OutputFile::kWritePiece - 512, 64 * 1024 + 512);
    ASSERT_EQ(output.append(piece.data(), piece.size()), 0);
    EXPECT_EQ(lengthOnDisk("KV00000.mov"), 64u * 1024 + 512);
    ASSERT_EQ(output.append(piece.data(), 512), 0);
    EXPECT_EQ(lengthOnDisk("KV00000.mov"), 64u * 1024 + 512 + OutputFile::kWritePiece);
}

TEST_F(Output, ReadsComeFromMemoryFromDiskAndAcrossTheTwo) {
    const size_t total = 64 * 1024 + 2 * OutputFile::kWritePiece + 3000;
    OutputFile output(folder, "mov", 64 * 1024);
    appendBlocks(output, total);
    ASSERT_TRUE(output.onDisk());
    const std::vector<uint8_t> all = pattern(total);
    const auto slice = [&](size_t from, size_t length) {
        return std::vector<uint8_t>(all.begin() + static_cast<ptrdiff_t>(from),
                                    all.begin() + static_cast<ptrdiff_t>(from + length));
    };
    EXPECT_EQ(readBack(output, 0, 4096), slice(0, 4096));
    EXPECT_EQ(readBack(output, 100000, 10), slice(100000, 10));
    // What has not made a whole piece yet is still in memory.
    const size_t inMemory = (total - (64 * 1024 + 512)) % OutputFile::kWritePiece;
    EXPECT_EQ(readBack(output, total - inMemory - 5, 10), slice(total - inMemory - 5, 10))
        << "disk, then memory";
    EXPECT_EQ(readBack(output, total - 100, 10), slice(total - 100, 10)) << "memory";
    EXPECT_EQ(readBack(output, total - 4, 10), slice(total - 4, 4)) << "short at the end";
    EXPECT_TRUE(readBack(output, total, 10).empty());
    EXPECT_EQ(readBack(output, 0, total), all) << "one large read";
    // Reading backwards in small steps, as a footer search does.
    for (uint64_t at = OutputFile::kReadPiece + 4096; at >= 4096; at -= 4096)
        ASSERT_EQ(readBack(output, at - 4096, 4096), slice(at - 4096, 4096)) << at;
}

TEST_F(Output, AFileOnDiskIsCutToItsLengthAndRenamedForANewExtension) {
    OutputFile output(folder, "jpg", 4096);
    appendBlocks(output, 20 * 512);
    ASSERT_TRUE(output.onDisk());
    ASSERT_EQ(output.keep(6000, "cr2"), 0);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.cr2"}));
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.cr2"), pattern(6000));
}

TEST_F(Output, ATakenNameNeverGetsReplaced) {
    // In memory: the file goes to the next free number.
    OutputFile first(folder, "jpg");
    appendBlocks(first, 1024);
    test::writeFile(dir.path() / "KV00000.jpg", {7});
    ASSERT_EQ(first.keep(1024, "jpg"), 0);
    EXPECT_EQ(first.path(), dir.folder() + "KV00001.jpg");
    // On disk: a new extension whose name is taken keeps the old name.
    OutputFile second(folder, "jpg", 0);
    appendBlocks(second, 1024);
    ASSERT_EQ(second.path(), dir.folder() + "KV00002.jpg");
    test::writeFile(dir.path() / "KV00002.tif", {8});
    ASSERT_EQ(second.keep(1000, "tif"), 0);
    EXPECT_EQ(test::readFile(dir.path() / "KV00002.jpg"), pattern(1000));
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.jpg"), (std::vector<uint8_t>{7}));
    EXPECT_EQ(test::readFile(dir.path() / "KV00002.tif"), (std::vector<uint8_t>{8}));
}

TEST_F(Output, AnOutputThatIsNotKeptLeavesNothingBehindAndAMovedOneLivesOn) {
    {
        OutputFile output(folder, "mp4", 0);
        appendBlocks(output, 4096);
        ASSERT_TRUE(output.onDisk());
        OutputFile moved = std::move(output);
        EXPECT_FALSE(output.isOpen());
        EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.mp4"})) << "moving keeps the file";
        EXPECT_EQ(readBack(moved, 0, 4096), pattern(4096));
    }
    EXPECT_TRUE(fs::is_empty(dir.path())) << "dropped at the end of its life";
    OutputFile reused(folder, "mp4", 0);
    appendBlocks(reused, 512);
    EXPECT_EQ(reused.path(), dir.folder() + "KV00000.mp4") << "a dropped file leaves its number";
    reused = OutputFile();
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(Output, OneHeldInMemoryOnlyGrowsWithoutLimitAndCannotBeKept) {
    OutputFile output = OutputFile::inMemory();
    appendBlocks(output, 9 << 20);
    EXPECT_EQ(readBack(output, (9 << 20) - 10, 10), pattern(10, (9 << 20) - 10));
    EXPECT_EQ(output.keep(100, "jpg"), EBADF);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(Output, NoOutputRefusesEverything) {
    OutputFile none;
    const uint8_t byte = 1;
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(none.append(&byte, 1), EBADF);
    EXPECT_EQ(none.readAt(0, nullptr, 0), 0u);
    EXPECT_EQ(none.keep(1, "jpg"), EBADF);
    none.remove();
}

}  // namespace
}  // namespace salvora

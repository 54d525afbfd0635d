#include "carve/file_map.h"

#include <gtest/gtest.h>

#include "carve/output_folder.h"
#include "carve/run_carve.h"

namespace salvora {
namespace {

TEST(FileMap, FilesAreFoundByTheirFirstByteOnlyInTheOrderAdded) {
    FileMap map;
    map.add({"A.JPG", 3000, {{8192, 2048}, {16384, 952}}, false, true});
    map.add({"B.JPG", 100, {{4096, 100}}, true, true});
    map.add({"C.JPG", 100, {{4096, 100}}, true, false});
    map.add({"EMPTY.TXT", 0, {}, false, true});
    ASSERT_EQ(map.startingAt(8192).size(), 1u);
    EXPECT_EQ(map.startingAt(8192).front()->name, "A.JPG");
    EXPECT_TRUE(map.startingAt(16384).empty());  // a later piece is no start
    ASSERT_EQ(map.startingAt(4096).size(), 2u);
    EXPECT_EQ(map.startingAt(4096)[0]->name, "B.JPG");
    EXPECT_EQ(map.startingAt(4096)[1]->name, "C.JPG");
    EXPECT_EQ(map.files().size(), 3u);
}

TEST(FileMap, BytesOfListedFilesAreHeldUpToTheirLastByte) {
    FileMap map;
    map.addLiveRun(8192, 2048);
    map.addLiveRun(16384, 512);
    EXPECT_FALSE(map.heldByLiveFile(8191));
    EXPECT_TRUE(map.heldByLiveFile(8192));
    EXPECT_TRUE(map.heldByLiveFile(10239));
    EXPECT_FALSE(map.heldByLiveFile(10240));
    EXPECT_TRUE(map.heldByLiveFile(16895));
    EXPECT_FALSE(map.heldByLiveFile(16896));
    EXPECT_FALSE(map.heldByLiveFile(0));
}

TEST(RunsUpTo, CutsTheRunsToTheFilesFinalSize) {
    const std::vector<ByteRun> runs{{1000, 512}, {5000, 512}, {9000, 100}};
    const std::vector<ByteRun> cut = runsUpTo(runs, 600);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].offset, 1000u);
    EXPECT_EQ(cut[0].length, 512u);
    EXPECT_EQ(cut[1].offset, 5000u);
    EXPECT_EQ(cut[1].length, 88u);
    EXPECT_TRUE(runsUpTo(runs, 0).empty());
    EXPECT_EQ(runsUpTo(runs, 5000).size(), 3u);
}

TEST(SafeFileName, NamesFromACardBecomeNamesEveryFileSystemTakes) {
    EXPECT_EQ(safeFileName("IMG_0042.JPG"), "IMG_0042.JPG");
    EXPECT_EQ(safeFileName("St\xC3\xA4ndchen \xE2\x80\x93 caf\xC3\xA9.mp3"),
              "St\xC3\xA4ndchen \xE2\x80\x93 caf\xC3\xA9.mp3");
    EXPECT_EQ(safeFileName("a/b\\c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
    EXPECT_EQ(safeFileName("tab\there"), "tab_here");
    EXPECT_EQ(safeFileName("trailing. . "), "trailing");
    EXPECT_EQ(safeFileName("..."), "");
    // 199 ASCII bytes and a two-byte character across the 200-byte limit.
    const std::string longName = std::string(199, 'x') + "\xC3\xA9" + "tail";
    EXPECT_EQ(safeFileName(longName), std::string(199, 'x'));
}

TEST(OutputNumber, NamesFromTheCardKeepTheNumberingGoing) {
    uint32_t number = 0;
    EXPECT_TRUE(outputNumber("KV00012_IMG_0042.JPG", number));
    EXPECT_EQ(number, 12u);
    EXPECT_FALSE(outputNumber("KV0001_IMG.JPG", number));
    EXPECT_FALSE(outputNumber("KV00012-IMG.JPG", number));
    EXPECT_EQ(numberAfter({"KV00003.jpg", "KV00041_Holiday photo 2024.jpg"}), 42u);
}

}  // namespace
}  // namespace salvora

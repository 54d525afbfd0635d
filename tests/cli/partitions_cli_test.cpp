// salvora partitions and salvora recover --partition on real disk images.
#include <gtest/gtest.h>

#include "run_salvora.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::runSalvora;

class ImageCommands : public ::testing::Test {
  protected:
    void SetUp() override { SKIP_WITHOUT_TOOLS("sfdisk", "mkfs.vfat", "mkntfs", "mcopy", "truncate", "dd"); }

    // A disk with FAT12, FAT16 and NTFS primaries; photo A in the FAT16
    // volume, photo B in the FAT12 one.
    fs::path photoDisk() {
        const fs::path disk = dir.path() / "disk.img";
        EXPECT_TRUE(test::makeBlankImage(disk, 40 << 20));
        EXPECT_TRUE(
            test::writeTable(disk, {{2048, 8192, "1"}, {10240, 32768, "6", true}, {43008, 16384, "7"}}));
        EXPECT_TRUE(test::makeFat(disk, 2048, 8192, 12, "CARD12"));
        EXPECT_TRUE(test::makeFat(disk, 10240, 32768, 16, "VOL16"));
        EXPECT_TRUE(test::makeNtfs(disk, 43008, 16384, "Caf\xc3\xa9 \xe2\x82\xac"));  // "Café €"
        EXPECT_TRUE(test::copyIntoFat(disk, 10240, test::dataPath("jpeg/camera_640x480.jpg")));
        EXPECT_TRUE(test::copyIntoFat(disk, 2048, test::dataPath("jpeg/camera_320x240.jpg")));
        return disk;
    }

    test::TempDir dir;
};

TEST_F(ImageCommands, PartitionsListsLabelFormatSizeAndOffset) {
    const auto run = runSalvora({"partitions", "--image", photoDisk().string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  1  CARD12                    FAT12           4.00  MB          1048576\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  2  VOL16                     FAT16          16.00  MB          5242880\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  3  Café "), std::string::npos) << "Latin-1 label shown as UTF-8\n" << run.out;
    EXPECT_NE(run.out.find("NTFS            8.00  MB         22020096"), std::string::npos) << run.out;
}

TEST_F(ImageCommands, PartitionsAsJson) {
    const auto run = runSalvora({"partitions", "--image", photoDisk().string(), "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"size\": 41943040,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(
                  "{\"index\": 2, \"label\": \"VOL16\", \"format\": \"FAT16\", \"sizeText\": \"16.00  MB\""),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"offset\": 5242880, \"size\": 16777216, \"volumeLabel\": \"VOL16\""),
              std::string::npos);
    EXPECT_NE(run.out.find("\"fsKind\": 9, \"typeByte\": 6, \"status\": 2, \"order\": 2}"),
              std::string::npos);
    EXPECT_NE(run.out.find("\"label\": \"Café \""), std::string::npos) << run.out;
}

TEST_F(ImageCommands, RecoverOnePartitionFindsOnlyItsPhoto) {
    const fs::path disk = photoDisk();
    const fs::path out = dir.path() / "saved";
    const auto run = runSalvora(
        {"recover", "--image", disk.string(), "--partition", "2", "--types", "jpg", "--out", out.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Recovering partition 2 (VOL16, FAT16, 16.00  MB) of " + disk.string()),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Recovery Complete - 1 Files Recovered."), std::string::npos) << run.out;
    EXPECT_EQ(test::readFile(out / "KV00000.jpg"), test::readFile(test::dataPath("jpeg/camera_640x480.jpg")));
}

TEST_F(ImageCommands, RecoverWithoutPartitionSearchesTheWholeImage) {
    const fs::path out = dir.path() / "saved";
    const auto run = runSalvora(
        {"recover", "--image", photoDisk().string(), "--types", "jpg", "--out", out.string(), "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Recovery Complete - 2 Files Recovered."), std::string::npos) << run.out;
}

TEST_F(ImageCommands, MissingPartitionIsRefused) {
    const fs::path out = dir.path() / "saved";
    const auto run =
        runSalvora({"recover", "--image", photoDisk().string(), "--partition", "9", "--out", out.string()});
    EXPECT_EQ(run.status, 6);
    EXPECT_NE(run.err.find("Get Partition Fail !!!\nThere is no partition 9: salvora partitions lists 3."),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(out)) << "nothing is created before the partition is settled";
}

TEST_F(ImageCommands, BlankImageIsOneUnknownPartition) {
    const fs::path blank = dir.path() / "blank.img";
    ASSERT_TRUE(test::makeBlankImage(blank, 3 << 20));
    const auto run = runSalvora({"partitions", "--image", blank.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  1  Unknown                   Unknown         3.00  MB                0\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("  2  "), std::string::npos);
}

TEST(RecoverCommand, PartitionOfLengthZeroIsRefused) {
    test::TempDir dir;
    // A table entry of type 0C with a sector count of 0 in front of a valid FAT16 boot sector.
    std::vector<uint8_t> disk(4 << 20, 0);
    disk[446 + 4] = 0x0C;
    disk[446 + 9] = 0x08;  // first sector 2048 (0x800)
    disk[510] = 0x55;
    disk[511] = 0xAA;
    const uint8_t boot[] = {0xEB, 0x3C, 0x90};
    std::copy(std::begin(boot), std::end(boot), disk.begin() + 2048 * 512);
    auto at = disk.begin() + 2048 * 512;
    at[11] = 0x00, at[12] = 0x02;  // 512 bytes per sector
    at[13] = 1;                    // sectors per cluster
    at[14] = 1;                    // reserved
    at[16] = 2;                    // FATs
    at[17] = 0x00, at[18] = 0x02;  // 512 root entries
    at[19] = 0x00, at[20] = 0x40;  // 16384 sectors
    at[21] = 0xF8;
    at[22] = 16;  // sectors per FAT
    at[510] = 0x55, at[511] = 0xAA;
    const fs::path image = dir.path() / "zero.img";
    test::writeFile(image, disk);

    const auto listing = runSalvora({"partitions", "--image", image.string()});
    ASSERT_EQ(listing.status, 0) << listing.err;
    EXPECT_NE(listing.out.find("  1  NO NAME                   FAT16            0  Byte          1048576"),
              std::string::npos)
        << listing.out;
    const auto run = runSalvora(
        {"recover", "--image", image.string(), "--partition", "1", "--out", (dir.path() / "saved").string()});
    EXPECT_EQ(run.status, 6);
    EXPECT_NE(run.err.find("Get Partition Fail !!!"), std::string::npos) << run.err;
}

TEST(RecoverCommand, CommandLineMistakes) {
    EXPECT_EQ(runSalvora({"recover", "--image", "a.img", "--disk", "1"}).status, 2);
    EXPECT_EQ(runSalvora({"recover", "--out", "x"}).status, 2);
    EXPECT_EQ(runSalvora({"recover", "--image", "a.img", "--partition", "zero"}).status, 2);
    EXPECT_EQ(runSalvora({"recover", "--image", "a.img", "--partition", "0"}).status, 2);
    EXPECT_EQ(runSalvora({"partitions"}).status, 2);
    EXPECT_EQ(runSalvora({"partitions", "1", "--image", "a.img"}).status, 2);
    EXPECT_EQ(runSalvora({"disks", "extra"}).status, 2);
    const auto missing = runSalvora({"partitions", "--image", "/nonexistent/card.img"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("/nonexistent/card.img"), std::string::npos);
}

}  // namespace
}  // namespace salvora

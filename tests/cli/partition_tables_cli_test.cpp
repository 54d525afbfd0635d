// salvora partitions and recover on the partition tables people have: GPT
// disks made by sfdisk with FAT32 and NTFS volumes, and cards whose only
// partition was deleted.
#include <gtest/gtest.h>

#include "run_salvora.h"
#include "support/loop_device.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::runSalvora;

const char* kBasicData = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
const char* kPhotoA = "jpeg/camera_640x480.jpg";
const char* kPhotoB = "jpeg/camera_320x240.jpg";

class PartitionTables : public ::testing::Test {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_TOOLS("sfdisk", "mkfs.vfat", "mkntfs", "ntfscp", "mcopy", "truncate", "dd");
    }

    // Entry 1: FAT32 "CAMERA" in partition "Fotos ü" with photo A; entry 2:
    // NTFS "Archiv" in partition "Backup" with photo B.
    fs::path gptDisk() {
        const fs::path disk = dir.path() / "gpt.img";
        EXPECT_TRUE(test::makeBlankImage(disk, 72 << 20));
        EXPECT_TRUE(test::writeGptTable(
            disk, {{2048, 81920, kBasicData, "Fotos \xc3\xbc"}, {83968, 32768, kBasicData, "Backup"}}));
        EXPECT_TRUE(test::makeFat(disk, 2048, 81920, 32, "CAMERA"));
        EXPECT_TRUE(test::copyIntoFat(disk, 2048, test::dataPath(kPhotoA)));
        EXPECT_TRUE(test::makeNtfs(disk, 83968, 32768, "Archiv", {test::dataPath(kPhotoB)}));
        return disk;
    }

    // A card whose FAT16 partition holding photo A was deleted with sfdisk:
    // the table keeps its 55 AA signature, every entry is empty.
    fs::path deletedPartitionCard() {
        const fs::path card = dir.path() / "card.img";
        EXPECT_TRUE(test::makeBlankImage(card, 16 << 20));
        EXPECT_TRUE(test::writeTable(card, {{2048, 30720, "6"}}));
        EXPECT_TRUE(test::makeFat(card, 2048, 30720, 16, "KORVELL"));
        EXPECT_TRUE(test::copyIntoFat(card, 2048, test::dataPath(kPhotoA)));
        EXPECT_TRUE(test::runTool("sfdisk -q --delete " + test::shellQuoted(card.string()) + " 1"));
        return card;
    }

    test::TempDir dir;
};

TEST_F(PartitionTables, GptPartitionsAreListedWithNamesAndLabels) {
    const fs::path disk = gptDisk();
    const auto run = runSalvora({"partitions", "--image", disk.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Partitions of " + disk.string() + " (72.00  MB, GUID partition table):"),
              std::string::npos)
        << run.out;
    EXPECT_NE(
        run.out.find(
            "  1  CAMERA                    FAT32          40.00  MB          1048576  Fotos \xc3\xbc\n"),
        std::string::npos)
        << run.out;
    EXPECT_NE(
        run.out.find("  2  Archiv                    NTFS           16.00  MB         42991616  Backup\n"),
        std::string::npos)
        << run.out;
    const auto json = runSalvora({"partitions", "--image", disk.string(), "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"table\": \"GPT\""), std::string::npos) << json.out;
    EXPECT_NE(
        json.out.find("\"name\": \"Fotos \xc3\xbc\", \"typeGuid\": \"EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\""),
        std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"offset\": 42991616, \"size\": 16777216, \"volumeLabel\": \"Archiv\""),
              std::string::npos)
        << json.out;
}

TEST_F(PartitionTables, EachGptPartitionIsRecoveredAlone) {
    const fs::path disk = gptDisk();
    for (const auto& [number, photo] : {std::pair{"1", kPhotoA}, std::pair{"2", kPhotoB}}) {
        const fs::path out = dir.path() / (std::string("out") + number);
        const auto run = runSalvora({"recover", "--image", disk.string(), "--partition", number, "--types",
                                     "jpg", "--out", out.string()});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("Recovery Complete - 1 Files Recovered."), std::string::npos) << run.out;
        EXPECT_EQ(test::readFile(out / "KV00000.jpg"), test::readFile(test::dataPath(photo))) << number;
    }
}

TEST_F(PartitionTables, CardWithItsPartitionDeletedIsOneWholeDiskRow) {
    const fs::path card = deletedPartitionCard();
    const auto run = runSalvora({"partitions", "--image", card.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  1  Unknown                   Unknown        16.00  MB                0\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("  2  "), std::string::npos) << run.out;
    const fs::path out = dir.path() / "out";
    const auto recovered = runSalvora(
        {"recover", "--image", card.string(), "--partition", "1", "--types", "jpg", "--out", out.string()});
    ASSERT_EQ(recovered.status, 0) << recovered.err;
    EXPECT_EQ(test::readFile(out / "KV00000.jpg"), test::readFile(test::dataPath(kPhotoA)));
}

// The most common case, as a user meets it: the card in a reader.
TEST_F(PartitionTables, DeletedPartitionCardIsRecoveredThroughItsDevice) {
    const fs::path card = deletedPartitionCard();
    const auto before = test::readFile(card);
    test::LoopDevice loop(card.string());
    if (loop.path().empty())
        GTEST_SKIP() << "no loop device available (needs root)";
    const auto listing = runSalvora({"partitions", loop.path()});
    ASSERT_EQ(listing.status, 0) << listing.err;
    EXPECT_NE(listing.out.find("  1  Unknown                   Unknown        16.00  MB                0\n"),
              std::string::npos)
        << listing.out;
    const fs::path out = dir.path() / "out";
    const auto run =
        runSalvora({"recover", "--device", loop.path(), "--types", "jpg", "--out", out.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::readFile(out / "KV00000.jpg"), test::readFile(test::dataPath(kPhotoA)));
    EXPECT_EQ(test::readFile(card), before);
}

}  // namespace
}  // namespace salvora

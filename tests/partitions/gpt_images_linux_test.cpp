// GUID partition tables made by sfdisk and sgdisk, with FAT and NTFS volumes
// made by mkfs.vfat and mkntfs in their partitions.
#include <gtest/gtest.h>

#include <fstream>

#include "media/image_reader.h"
#include "partitions/current_medium.h"
#include "partitions/gpt_partition_table.h"
#include "partitions/partition_scheme.h"
#include "support/disk_images.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMiB = 1 << 20;
constexpr const char* kBasicData = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
constexpr uint64_t kDiskBytes = 72 * kMiB;

struct Read {
    std::vector<PartitionRecord> list;
    const PartitionScheme* scheme = nullptr;
};

Read readImage(const fs::path& image) {
    std::string whyNot;
    const auto medium = openImage(image.string(), whyNot);
    EXPECT_TRUE(medium) << whyNot;
    if (!medium)
        return {};
    const PartitionList list = selectCurrentMedium(*medium);
    return {{list.begin(), list.end()}, medium->partitionScheme};
}

void overwrite(const fs::path& image, uint64_t offset, const std::string& bytes) {
    std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class GptImages : public ::testing::Test {
  protected:
    void SetUp() override { SKIP_WITHOUT_TOOLS("sfdisk", "mkfs.vfat", "mkntfs", "truncate", "dd"); }

    // Entry 1: FAT32 "CAMERA" in partition "Fotos ü" at 1 MiB; entry 2: NTFS
    // "Archiv" in partition "Backup" at 41 MiB; entry 3: no file system.
    fs::path twoVolumeDisk() {
        const fs::path disk = dir.path() / "gpt.img";
        EXPECT_TRUE(test::makeBlankImage(disk, kDiskBytes));
        EXPECT_TRUE(test::writeGptTable(disk, {{2048, 81920, kBasicData, "Fotos \xc3\xbc"},
                                               {83968, 32768, kBasicData, "Backup"},
                                               {116736, 16384, "0FC63DAF-8483-4772-8E79-3D69D8477DE4", ""}}));
        EXPECT_TRUE(test::makeFat(disk, 2048, 81920, 32, "CAMERA"));
        EXPECT_TRUE(test::makeNtfs(disk, 83968, 32768, "Archiv"));
        return disk;
    }

    void expectTwoVolumes(const Read& read) {
        EXPECT_EQ(read.scheme, &gptPartitionScheme());
        ASSERT_EQ(read.list.size(), 3u);
        const PartitionRecord& fat = read.list[0];
        EXPECT_EQ(fat.offset, 2048 * 512u);
        EXPECT_EQ(fat.size, 81920 * 512u);
        EXPECT_EQ(fat.fsName, "FAT32");
        EXPECT_EQ(fat.label, "CAMERA");
        EXPECT_EQ(fat.name, "Fotos \xc3\xbc");
        EXPECT_EQ(fat.typeGuid, kBasicData);
        EXPECT_EQ(fat.order, 1u);
        const PartitionRecord& ntfs = read.list[1];
        EXPECT_EQ(ntfs.offset, 83968 * 512u);
        EXPECT_EQ(ntfs.fsName, "NTFS");
        EXPECT_EQ(ntfs.label, "Archiv");
        EXPECT_EQ(ntfs.name, "Backup");
        EXPECT_EQ(ntfs.order, 2u);
        const PartitionRecord& linux = read.list[2];
        EXPECT_EQ(linux.fsKind, kFsNone);
        EXPECT_EQ(linux.name, "");
        EXPECT_EQ(linux.typeGuid, "0FC63DAF-8483-4772-8E79-3D69D8477DE4");
        EXPECT_EQ(linux.size, 16384 * 512u);
    }

    test::TempDir dir;
};

TEST_F(GptImages, FatAndNtfsPartitionsWithNamesAndLabels) {
    expectTwoVolumes(readImage(twoVolumeDisk()));
}

TEST_F(GptImages, BackupIsReadWhenThePrimaryHeaderIsDamaged) {
    const fs::path disk = twoVolumeDisk();
    overwrite(disk, 512, "EFI PORT");
    expectTwoVolumes(readImage(disk));
}

TEST_F(GptImages, BackupIsReadWhenThePrimaryEntriesAreDamaged) {
    const fs::path disk = twoVolumeDisk();
    overwrite(disk, 1024 + 56, std::string("X\0", 2));  // the first entry's name
    expectTwoVolumes(readImage(disk));
}

TEST_F(GptImages, PrimaryAloneIsEnoughWhenTheBackupIsCutOff) {
    const fs::path disk = twoVolumeDisk();
    fs::resize_file(disk, kDiskBytes - kMiB);
    expectTwoVolumes(readImage(disk));
}

TEST_F(GptImages, BothCopiesDamagedLeavesTheProtectiveEntry) {
    const fs::path disk = twoVolumeDisk();
    overwrite(disk, 512, "EFI PORT");
    overwrite(disk, kDiskBytes - 512, "EFI PORT");
    const Read read = readImage(disk);
    EXPECT_EQ(read.scheme, &pcPartitionScheme());
    ASSERT_EQ(read.list.size(), 1u);
    EXPECT_EQ(read.list[0].typeByte, 0xEEu);
}

TEST_F(GptImages, PartitionsAreOrderedByOffsetAndKeepTheirEntryNumbers) {
    const fs::path disk = dir.path() / "reversed.img";
    ASSERT_TRUE(test::makeBlankImage(disk, 40 * kMiB));
    ASSERT_TRUE(
        test::writeGptTable(disk, {{40960, 8192, kBasicData, "second"}, {2048, 8192, kBasicData, "first"}}));
    const Read read = readImage(disk);
    ASSERT_EQ(read.list.size(), 2u);
    EXPECT_EQ(read.list[0].name, "first");
    EXPECT_EQ(read.list[0].order, 2u);
    EXPECT_EQ(read.list[1].name, "second");
    EXPECT_EQ(read.list[1].order, 1u);
}

TEST_F(GptImages, SgdiskNamesOutsideTheBasicPlaneComeThrough) {
    SKIP_WITHOUT_TOOLS("sgdisk");
    const fs::path disk = dir.path() / "sgdisk.img";
    ASSERT_TRUE(test::makeBlankImage(disk, 40 * kMiB));
    // 0700 is sgdisk's code for the basic data type; the name holds U+1F4F7.
    ASSERT_TRUE(test::runTool("sgdisk -n 1:2048:+16M -t 1:0700 -c " +
                              test::shellQuoted("1:Kamera \xf0\x9f\x93\xb7") + " " +
                              test::shellQuoted(disk.string())));
    ASSERT_TRUE(test::makeFat(disk, 2048, 32768, 16, "DCIM"));
    const Read read = readImage(disk);
    ASSERT_EQ(read.list.size(), 1u);
    EXPECT_EQ(read.list[0].name, "Kamera \xf0\x9f\x93\xb7");
    EXPECT_EQ(read.list[0].typeGuid, kBasicData);
    EXPECT_EQ(read.list[0].fsName, "FAT16");
    EXPECT_EQ(read.list[0].label, "DCIM");
    EXPECT_EQ(read.list[0].offset, 2048 * 512u);
    EXPECT_EQ(read.list[0].size, 16 * kMiB);
}

TEST_F(GptImages, CardWhosePartitionWasDeletedIsOneEmptyRecord) {
    const fs::path card = dir.path() / "card.img";
    ASSERT_TRUE(test::makeBlankImage(card, 16 * kMiB));
    ASSERT_TRUE(test::writeTable(card, {{2048, 30720, "6"}}));
    ASSERT_TRUE(test::makeFat(card, 2048, 30720, 16, "KORVELL"));
    ASSERT_TRUE(test::runTool("sfdisk -q --delete " + test::shellQuoted(card.string()) + " 1"));
    const Read read = readImage(card);
    EXPECT_EQ(read.scheme, &pcPartitionScheme());
    ASSERT_EQ(read.list.size(), 1u);
    EXPECT_EQ(read.list[0].offset, 0u);
    EXPECT_EQ(read.list[0].size, 0u);
    EXPECT_EQ(read.list[0].fsKind, kFsNone);
}

}  // namespace
}  // namespace salvora

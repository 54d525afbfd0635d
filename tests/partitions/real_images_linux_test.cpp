// Partition tables and volumes made by sfdisk, mkfs.vfat and mkntfs.
#include <gtest/gtest.h>

#include "media/image_reader.h"
#include "partitions/current_medium.h"
#include "support/disk_images.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::TableEntry;

constexpr uint64_t kMiB = 1 << 20;

std::vector<PartitionRecord> partitionsOf(const fs::path& image) {
    std::string whyNot;
    const auto medium = openImage(image.string(), whyNot);
    EXPECT_TRUE(medium) << whyNot;
    if (!medium)
        return {};
    const PartitionList list = selectCurrentMedium(*medium);
    return {list.begin(), list.end()};
}

std::vector<PartitionRecord> withFileSystem(const std::vector<PartitionRecord>& all) {
    std::vector<PartitionRecord> found;
    for (const PartitionRecord& record : all) {
        if (record.fsKind != kFsNone)
            found.push_back(record);
    }
    return found;
}

void expectVolume(const PartitionRecord& record, uint32_t kind, const std::string& name,
                  const std::string& label, uint64_t startSector, uint64_t sectors) {
    EXPECT_EQ(record.fsKind, kind) << label;
    EXPECT_EQ(record.fsName, name) << label;
    EXPECT_EQ(record.label, label);
    EXPECT_EQ(record.offset, startSector * 512) << label;
    EXPECT_EQ(record.size, sectors * 512) << label;
}

class RealImages : public ::testing::Test {
  protected:
    void SetUp() override { SKIP_WITHOUT_TOOLS("sfdisk", "mkfs.vfat", "mkntfs", "truncate", "dd"); }
    test::TempDir dir;
};

TEST_F(RealImages, UnpartitionedFat32CardIsOneVolume) {
    const fs::path card = dir.path() / "card.img";
    ASSERT_TRUE(test::makeBlankImage(card, 40 * kMiB));
    ASSERT_TRUE(test::makeFat(card, 0, 40 * kMiB / 512, 32, "CANON_DC"));
    const auto list = partitionsOf(card);
    ASSERT_EQ(list.size(), 1u);
    expectVolume(list[0], kFsFat32, "FAT32", "CANON_DC", 0, 40 * kMiB / 512);
    EXPECT_EQ(list[0].order, 1u);
}

TEST_F(RealImages, UnlabelledFat16CardShowsNoName) {
    const fs::path card = dir.path() / "card.img";
    ASSERT_TRUE(test::makeBlankImage(card, 16 * kMiB));
    ASSERT_TRUE(test::makeFat(card, 0, 16 * kMiB / 512, 16, ""));
    const auto list = partitionsOf(card);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].fsName, "FAT16");
    EXPECT_EQ(list[0].label, "NO NAME") << "mkfs.vfat writes NO NAME into the boot sector";
}

TEST_F(RealImages, MbrWithFat12Fat16Fat32AndNtfsPrimaries) {
    const fs::path disk = dir.path() / "disk.img";
    ASSERT_TRUE(test::makeBlankImage(disk, 72 * kMiB));
    ASSERT_TRUE(test::writeTable(
        disk, {{2048, 8192, "1"}, {10240, 32768, "6"}, {43008, 81920, "c", true}, {124928, 16384, "7"}}));
    ASSERT_TRUE(test::makeFat(disk, 2048, 8192, 12, "CARD12"));
    ASSERT_TRUE(test::makeFat(disk, 10240, 32768, 16, "VOL16"));
    ASSERT_TRUE(test::makeFat(disk, 43008, 81920, 32, "CANON_DC"));
    ASSERT_TRUE(test::makeNtfs(disk, 124928, 16384,
                               "Fotos\xe2\x82\xac"
                               "2024"));  // "Fotos€2024"
    const auto list = partitionsOf(disk);
    ASSERT_EQ(list.size(), 4u);
    expectVolume(list[0], kFsFat12, "FAT12", "CARD12", 2048, 8192);
    expectVolume(list[1], kFsFat16, "FAT16", "VOL16", 10240, 32768);
    expectVolume(list[2], kFsFat32, "FAT32", "CANON_DC", 43008, 81920);
    expectVolume(list[3], kFsNtfs, "NTFS", "Fotos", 124928, 16384);
    for (size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[i].order, i + 1);
    EXPECT_EQ(list[2].status, kStatusPrimaryBootable);
    EXPECT_EQ(list[0].status, kStatusPrimary);
}

TEST_F(RealImages, LogicalPartitionsInAnExtendedChain) {
    const fs::path disk = dir.path() / "disk.img";
    ASSERT_TRUE(test::makeBlankImage(disk, 64 * kMiB));
    ASSERT_TRUE(test::writeTable(disk, {{2048, 32768, "e"},
                                        {34816, 96256, "5"},
                                        {36864, 8192, "1"},
                                        {47104, 16384, "7"},
                                        {65536, 32768, "6"}}));
    ASSERT_TRUE(test::makeFat(disk, 2048, 32768, 16, "PRIMARY"));
    ASSERT_TRUE(test::makeFat(disk, 36864, 8192, 12, "LOGIC12"));
    ASSERT_TRUE(test::makeNtfs(disk, 47104, 16384, "Caf\xc3\xa9"));  // "Café"
    ASSERT_TRUE(test::makeFat(disk, 65536, 32768, 16, "LOGIC16"));
    const auto all = partitionsOf(disk);
    const auto volumes = withFileSystem(all);
    ASSERT_EQ(volumes.size(), 4u);
    expectVolume(volumes[0], kFsFat16, "FAT16", "PRIMARY", 2048, 32768);
    expectVolume(volumes[1], kFsFat12, "FAT12", "LOGIC12", 36864, 8192);
    expectVolume(volumes[2], kFsNtfs, "NTFS", "Caf\xE9", 47104, 16384);
    expectVolume(volumes[3], kFsFat16, "FAT16", "LOGIC16", 65536, 32768);
    EXPECT_EQ(volumes[1].order, 5u);
    EXPECT_EQ(volumes[2].order, 6u);
    EXPECT_EQ(volumes[3].order, 7u);
    for (size_t i = 1; i < volumes.size(); ++i)
        EXPECT_EQ(volumes[i].status, kStatusLogical);
    size_t extended = 0, links = 0;
    for (const PartitionRecord& record : all) {
        extended += record.status == kStatusExtended;
        links += record.status == kStatusExtendedLink;
    }
    EXPECT_EQ(extended, 1u);
    EXPECT_EQ(links, 2u);
}

}  // namespace
}  // namespace salvora

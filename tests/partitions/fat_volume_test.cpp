#include "partitions/fat_volume.h"

#include <gtest/gtest.h>

#include "crafted_volumes.h"
#include "media/memory_reader.h"
#include "partitions/partition_scheme.h"

namespace salvora {
namespace {

using test::FatFields;

// A medium of `sectors` sectors holding `boot` at byte 0.
MemoryReader mediumWith(const std::vector<uint8_t>& boot, uint64_t sectors = 8192) {
    std::vector<uint8_t> bytes(sectors * 512, 0);
    std::copy(boot.begin(), boot.end(), bytes.begin());
    return MemoryReader(std::move(bytes));
}

// Runs the boot sector test on `fields` for a partition of `partitionSize` bytes.
int check(const FatFields& fields, uint64_t partitionSize = 0, FatCheckOptions options = {},
          uint32_t* kind = nullptr) {
    MemoryReader medium(std::vector<uint8_t>(512, 0));
    PartitionRecord record = newPartitionRecord(&pcPartitionScheme());
    record.size = partitionSize;
    const auto sector = test::fatBootSector(fields);
    const int result = checkFatBootSector(medium, Bytes(sector.data(), sector.size()), record, options);
    if (kind)
        *kind = record.fsKind;
    return result;
}

// FAT16-shaped fields with exactly `clusters` clusters of one sector.
FatFields fat16WithClusters(uint32_t clusters) {
    FatFields f;
    f.fatSize16 = 256;
    const uint32_t dataStart = 1 + 2 * 256 + 32;
    f.totalSectors16 = 0;
    f.totalSectors32 = dataStart + clusters;
    return f;
}

TEST(FatBootSector, ClusterCountDecidesTheKind) {
    uint32_t kind = 0;
    EXPECT_EQ(check(fat16WithClusters(65524), 0, {}, &kind), 0);
    EXPECT_EQ(kind, kFsFat16);
    // One cluster more must be FAT32, whose rules these FAT16 fields break.
    EXPECT_EQ(check(fat16WithClusters(65525)), 1);
    EXPECT_EQ(check(test::fat32Fields(65525), 0, {}, &kind), 0);
    EXPECT_EQ(kind, kFsFat32);
    EXPECT_EQ(check(test::fat32Fields(65524)), 1) << "FAT32 fields with a FAT16 cluster count";

    FatFields small;
    small.totalSectors16 = 97 + 4084;
    EXPECT_EQ(check(small, 0, {}, &kind), 0);
    EXPECT_EQ(kind, kFsFat12);
    small.totalSectors16 = 97 + 4085;
    EXPECT_EQ(check(small, 0, {}, &kind), 0);
    EXPECT_EQ(kind, kFsFat16);
}

TEST(FatBootSector, EachKindInsistsOnItsOwnFields) {
    FatFields fat12;
    fat12.totalSectors16 = 2000;
    fat12.rootEntries = 0;
    EXPECT_EQ(check(fat12), 1) << "FAT12 without root entries";
    fat12.rootEntries = 100;
    EXPECT_EQ(check(fat12), 1) << "root entries not a multiple of 16";
    fat12.rootEntries = 512;
    fat12.fatSize16 = 257;
    EXPECT_EQ(check(fat12), 1) << "FAT12 with more than 256 sectors per FAT";

    FatFields fat32 = test::fat32Fields(70000);
    fat32.totalSectors16 = 1;
    EXPECT_EQ(check(fat32), 1) << "FAT32 with a 16-bit total";
    fat32 = test::fat32Fields(70000);
    fat32.rootCluster = 70002;
    EXPECT_EQ(check(fat32), 1) << "root cluster past the last cluster";
    fat32.rootCluster = 70001;
    EXPECT_EQ(check(fat32), 0);
    fat32.rootCluster = 1;
    EXPECT_EQ(check(fat32), 1);
}

TEST(FatBootSector, HeaderFieldsMustBeSane) {
    EXPECT_EQ(check(FatFields{}), 0);
    FatFields f;
    f.jump[2] = 0x00;
    EXPECT_EQ(check(f), 1) << "short jump without NOP";
    f = FatFields{};
    f.jump[0] = 0xE9;
    f.jump[2] = 0x00;
    EXPECT_EQ(check(f), 0) << "near jump";
    for (uint8_t fats : {0, 3}) {
        f = FatFields{};
        f.fats = fats;
        EXPECT_EQ(check(f), 1) << int(fats) << " FATs";
    }
    for (uint8_t spc : {0, 3, 255}) {
        f = FatFields{};
        f.sectorsPerCluster = spc;
        EXPECT_EQ(check(f), 1) << int(spc) << " sectors per cluster";
    }
    for (uint8_t media : {0xF0, 0xF8, 0xFF}) {
        f = FatFields{};
        f.media = media;
        EXPECT_EQ(check(f), 0) << std::hex << int(media);
    }
    for (uint8_t media : {0x00, 0xF1, 0xF7}) {
        f = FatFields{};
        f.media = media;
        EXPECT_EQ(check(f), 1) << std::hex << int(media);
    }
    auto sector = test::fatBootSector(FatFields{});
    sector[511] = 0;
    MemoryReader medium(std::vector<uint8_t>(512, 0));
    PartitionRecord record;
    EXPECT_EQ(checkFatBootSector(medium, Bytes(sector.data(), sector.size()), record), 1) << "no 55 AA";
}

TEST(FatBootSector, SectorSizeMustMatchTheMedium) {
    FatFields f;
    f.bytesPerSector = 4096;
    EXPECT_EQ(check(f), 1);
    // The same volume on a medium with 4096-byte sectors is FAT.
    MemoryReader medium(std::vector<uint8_t>(4096, 0), 4096);
    PartitionRecord record;
    const auto sector = test::fatBootSector(f);
    EXPECT_EQ(checkFatBootSector(medium, Bytes(sector.data(), sector.size()), record), 0);
}

TEST(FatBootSector, VolumeLargerThanItsPartitionIsRefusedUnlessTheCheckIsOff) {
    const FatFields f;  // 8192 sectors
    EXPECT_EQ(check(f, 8192 * 512), 0);
    EXPECT_EQ(check(f, 8191 * 512), 1);
    EXPECT_EQ(check(f, 8191 * 512, FatCheckOptions{true}), 0) << "the Windows 2000 behaviour";
}

// Regression: a data area starting past the end of the volume made the
// cluster count wrap around to an enormous number, which passed as FAT32.
TEST(FatBootSector, DataAreaPastTheEndIsNotFat) {
    FatFields f = test::fat32Fields(70000);
    f.reserved = 0xFFFF;
    f.totalSectors32 = 1000;
    EXPECT_EQ(check(f), 1);
}

TEST(FatLabels, LabelRules) {
    const auto labelOf = [](const std::string& label11) {
        FatFields f;
        f.label = label11;
        MemoryReader medium = mediumWith(test::fatBootSector(f));
        PartitionRecord record = newPartitionRecord(&pcPartitionScheme());
        EXPECT_EQ(probeFatPartition(medium, record), 0);
        EXPECT_EQ(record.fsName, "FAT16");
        return record.label;
    };
    EXPECT_EQ(labelOf("NO NAME    "), "NO NAME");
    EXPECT_EQ(labelOf("HOLIDAY2024"), "HOLIDAY2024");
    EXPECT_EQ(labelOf("WHAT?      "), "");
    for (const char refused : std::string("\"*/:<>?\\|")) {
        EXPECT_EQ(labelOf(std::string("AB") + refused + "        "), "") << refused;
    }
    EXPECT_EQ(labelOf(std::string("AB\x01        ", 11)), "") << "control character";
    EXPECT_EQ(labelOf(std::string("AB\0XYZ     ", 11)), "AB") << "a zero byte ends the label";
    EXPECT_EQ(labelOf("           "), "");
    EXPECT_EQ(labelOf("\xC9T\xC9      "), "\xC9T\xC9") << "characters above 127 are kept";
}

TEST(FatLabels, Fat16LabelNeedsTheExtendedSignature) {
    FatFields f;
    f.extendedSignature = 0x28;
    MemoryReader medium = mediumWith(test::fatBootSector(f));
    PartitionRecord record;
    ASSERT_EQ(probeFatPartition(medium, record), 0);
    EXPECT_EQ(record.label, "");
}

class Fat32Label : public ::testing::Test {
  protected:
    // A FAT32 volume whose root directory holds `entries` and whose boot
    // sector holds the label BOOTLABEL.
    std::string labelWith(const std::vector<std::vector<uint8_t>>& entries) {
        FatFields f = test::fat32Fields(70000);
        f.label32 = "BOOTLABEL  ";
        std::vector<uint8_t> bytes(uint64_t{f.totalSectors32} * 512, 0);
        const auto boot = test::fatBootSector(f);
        std::copy(boot.begin(), boot.end(), bytes.begin());
        size_t at = test::fat32RootSector(f) * 512;
        for (const auto& entry : entries) {
            std::copy(entry.begin(), entry.end(), bytes.begin() + at);
            at += entry.size();
        }
        MemoryReader medium(std::move(bytes));
        PartitionRecord record = newPartitionRecord(&pcPartitionScheme());
        EXPECT_EQ(probeFatPartition(medium, record), 0);
        EXPECT_EQ(record.fsName, "FAT32");
        return record.label;
    }
};

TEST_F(Fat32Label, RootDirectoryLabelWins) {
    EXPECT_EQ(
        labelWith({test::directoryEntry("DCIM       ", 0x10), test::directoryEntry("CANON_DC   ", 0x08)}),
        "CANON_DC");
}

TEST_F(Fat32Label, DeletedLabelEntryFallsBackToTheBootSector) {
    EXPECT_EQ(labelWith({test::directoryEntry("\xE5OLDNAME   ", 0x08)}), "BOOTLABEL");
}

TEST_F(Fat32Label, LongNameEntriesAreNotLabels) {
    EXPECT_EQ(
        labelWith({test::directoryEntry("AB\0C\0D\0E\0F", 0x0F), test::directoryEntry("REAL       ", 0x08)}),
        "REAL");
}

TEST_F(Fat32Label, EntriesAfterTheEndMarkAreNotRead) {
    EXPECT_EQ(labelWith({std::vector<uint8_t>(32, 0), test::directoryEntry("HIDDEN     ", 0x08)}),
              "BOOTLABEL");
}

TEST_F(Fat32Label, RefusedDirectoryLabelFallsBackToTheBootSector) {
    EXPECT_EQ(labelWith({test::directoryEntry("BAD|NAME   ", 0x08)}), "BOOTLABEL");
}

TEST(Fat32LabelDamage, UnreadableRootDirectoryOnlyLosesItsLabel) {
    // The root cluster lies past the end of the medium.
    FatFields f = test::fat32Fields(70000);
    f.label32 = "BOOTLABEL  ";
    f.rootCluster = 69000;
    MemoryReader medium = mediumWith(test::fatBootSector(f), 100);
    PartitionRecord record;
    ASSERT_EQ(probeFatPartition(medium, record), 0);
    EXPECT_EQ(record.fsKind, kFsFat32);
    EXPECT_EQ(record.label, "BOOTLABEL");
}

TEST(FatProbe, ShortReadIsNotFat) {
    // Three sectors are read; a medium of two holds a valid boot sector but not enough.
    MemoryReader medium = mediumWith(test::fatBootSector(FatFields{}), 2);
    PartitionRecord record;
    EXPECT_EQ(probeFatPartition(medium, record), 1);
    EXPECT_EQ(record.fsKind, kFsNone);
}

}  // namespace
}  // namespace salvora

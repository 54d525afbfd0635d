#include <gtest/gtest.h>

#include "media/memory_reader.h"
#include "partitions/partition_scheme.h"
#include "recovery_app/core/disk_rows.h"
#include "recovery_app/core/partition_extent.h"
#include "recovery_app/core/partition_rows.h"
#include "recovery_app/core/size_text.h"

namespace salvora {
namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = uint64_t{1} << 30;

TEST(SizeText, OnlyWholeMebibytesCount) {
    EXPECT_EQ(sizeText(0), "0  Byte");
    EXPECT_EQ(sizeText(512), "512  Byte");
    EXPECT_EQ(sizeText(kMiB + kMiB / 2), "1572864  Byte") << "1 MiB is not more than 1";
    EXPECT_EQ(sizeText(2 * kMiB - 1), "2097151  Byte");
    EXPECT_EQ(sizeText(2 * kMiB), "2.00  MB");
    EXPECT_EQ(sizeText(2 * kMiB + kMiB / 2), "2.00  MB");
    EXPECT_EQ(sizeText(1023 * kMiB), "1023.00  MB");
}

TEST(SizeText, OneGibibyteAndAlittleMoreIsShownInBytes) {
    EXPECT_EQ(sizeText(kGiB - 1), "1023.00  MB");
    EXPECT_EQ(sizeText(kGiB), "1073741824  Byte");
    EXPECT_EQ(sizeText(kGiB + kMiB - 1), "1074790399  Byte");
    EXPECT_EQ(sizeText(kGiB + kMiB), "1.00  GB");
    EXPECT_EQ(sizeText(2 * kGiB), "2.00  GB");
}

TEST(SizeText, LargeDisksUseSinglePrecision) {
    EXPECT_EQ(sizeText(500107862016ULL), "465.76  GB");  // a "500 GB" disk
    EXPECT_EQ(sizeText(256 * kGiB), "256.00  GB");
    EXPECT_EQ(sizeText(uint64_t{18} << 40), "18432.00  GB");
}

std::unique_ptr<MediaReader> disk(const std::string& path, uint64_t bytes, uint32_t fixed) {
    auto reader = std::make_unique<MemoryReader>(std::vector<uint8_t>(512, 0));
    reader->devicePath = path;
    reader->model = "Model of " + path;
    reader->size = bytes;
    reader->fixedMedia = fixed;
    return reader;
}

TEST(DiskRows, FilterByDiskType) {
    DiskList list;
    addDisk(list, disk("a", 32 * kGiB, 0));
    addDisk(list, disk("b", 500 * kGiB, 1));
    addDisk(list, disk("c", 8 * kGiB, 0));
    const auto all = diskRows(list, kAllDisks);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].model, "Model of b");
    EXPECT_EQ(all[1].sizeText, "500.00  GB");
    EXPECT_EQ(all[1].disk, list.readers[1].get());
    const auto removable = diskRows(list, kRemovableDisks);
    ASSERT_EQ(removable.size(), 2u);
    EXPECT_EQ(removable[1].disk->devicePath, "c");
    const auto fixed = diskRows(list, kFixedDisks);
    ASSERT_EQ(fixed.size(), 1u);
    EXPECT_EQ(fixed[0].disk->devicePath, "b");
}

TEST(DiskRows, AtMostTwentyInEnumerationOrder) {
    DiskList list;
    for (int i = 0; i < 25; ++i)
        addDisk(list, disk("disk" + std::to_string(i), kGiB * 4, i % 2));
    const auto rows = diskRows(list, kAllDisks);
    ASSERT_EQ(rows.size(), kMaxDiskRows);
    EXPECT_EQ(rows.back().disk->devicePath, "disk19");
    const auto fixed = diskRows(list, kFixedDisks);
    EXPECT_EQ(fixed.size(), 12u);
}

PartitionRecord record(uint64_t offset, uint64_t size, uint32_t kind, const std::string& label = "",
                       const std::string& name = "") {
    PartitionRecord r = newPartitionRecord(&pcPartitionScheme());
    r.offset = offset;
    r.size = size;
    r.fsKind = kind;
    r.label = label;
    r.fsName = name;
    return r;
}

TEST(PartitionRows, VolumesShowLabelFormatAndSize) {
    PartitionList list{record(kMiB, 4 * kMiB, kFsFat12, "CARD12", "FAT12"),
                       record(5 * kMiB, 40 * kMiB, kFsFat32, "", "FAT32"),
                       record(45 * kMiB, 8 * kGiB, kFsNtfs, "Fotos", "NTFS")};
    const auto rows = partitionRows(list, 16 * kGiB);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].label, "CARD12");
    EXPECT_EQ(rows[0].format, "FAT12");
    EXPECT_EQ(rows[0].sizeText, "4.00  MB");
    EXPECT_EQ(rows[1].label, "NO NAME");
    EXPECT_EQ(rows[2].sizeText, "8.00  GB");
    EXPECT_EQ(rows[2].partition, &list.back());
}

TEST(PartitionRows, BlankDiskGivesOneUnknownRowCoveringTheDisk) {
    PartitionList list{record(0, 0, kFsNone), record(kMiB, kMiB * 8, kFsFat16, "LATER", "FAT16")};
    const auto rows = partitionRows(list, 4 * kGiB);
    ASSERT_EQ(rows.size(), 1u) << "the walk ends at the record made to cover the disk";
    EXPECT_EQ(rows[0].label, "Unknown");
    EXPECT_EQ(rows[0].format, "Unknown");
    EXPECT_EQ(rows[0].sizeText, "4.00  GB");
    EXPECT_EQ(list.front().offset, 0u);
    EXPECT_EQ(list.front().size, 4 * kGiB);
}

TEST(PartitionRows, UnknownPartitionSmallerThanTheDiskKeepsItsRange) {
    PartitionList list{record(kMiB, 100 * kMiB, kFsNone), record(101 * kMiB, 2 * kGiB, kFsNone)};
    const auto rows = partitionRows(list, 8 * kGiB);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].sizeText, "100.00  MB");
    EXPECT_EQ(list.front().offset, kMiB);
    // A record as large as the disk covers it from byte 0.
    PartitionList whole{record(kMiB, 8 * kGiB, kFsNone)};
    partitionRows(whole, 8 * kGiB);
    EXPECT_EQ(whole.front().offset, 0u);
}

TEST(PartitionRows, DiskOfSizeZeroShowsUnknownSize) {
    PartitionList list{record(0, 0, kFsNone)};
    const auto rows = partitionRows(list, 0);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].sizeText, "Unknown");
}

TEST(PartitionRows, AtMostElevenEntriesAreExamined) {
    PartitionList list;
    for (int i = 0; i < 15; ++i)
        list.push_back(record(kMiB * (i + 1), kMiB * 2, kFsFat16, "P" + std::to_string(i), "FAT16"));
    const auto rows = partitionRows(list, kGiB);
    ASSERT_EQ(rows.size(), kMaxPartitionEntries);
    EXPECT_EQ(rows.back().label, "P10");
    // Entries of other kinds count as examined without giving a row.
    PartitionList mixed;
    for (int i = 0; i < 12; ++i)
        mixed.push_back(record(kMiB * (i + 1), kMiB * 2, i < 10 ? 99u : kFsFat32, "X", "FAT32"));
    EXPECT_EQ(partitionRows(mixed, kGiB).size(), 1u);
}

TEST(PartitionToRecover, RefusesMissingRowsAndEmptyPartitions) {
    PartitionList list{record(kMiB, 0, kFsFat32, "EMPTY", "FAT32"),
                       record(2 * kMiB, kMiB * 4, kFsFat16, "OK", "FAT16")};
    const auto rows = partitionRows(list, kGiB);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(partitionToRecover(rows, 0), nullptr) << "length 0";
    EXPECT_EQ(partitionToRecover(rows, 1), &list.back());
    EXPECT_EQ(partitionToRecover(rows, 2), nullptr);
}

// A GPT partition gives both front ends the same row texts: the volume label
// when the volume has one, else the partition's name.
TEST(PartitionRows, GptPartitionsShowTheirNameWhereTheVolumeHasNoLabel) {
    PartitionRecord labelled = record(kMiB, 40 * kMiB, kFsFat32, "CAMERA", "FAT32");
    labelled.name = "Fotos \xc3\xbc";
    PartitionRecord unlabelled = record(41 * kMiB, 16 * kMiB, kFsNtfs, "", "NTFS");
    unlabelled.name = "Backup";
    PartitionRecord unknown = record(57 * kMiB, 8 * kMiB, kFsNone);
    unknown.name = "Linux home";
    PartitionRecord nameless = record(65 * kMiB, 8 * kMiB, kFsFat16, "", "FAT16");
    PartitionList list{labelled, unlabelled, unknown, nameless};
    const auto rows = partitionRows(list, kGiB);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].label, "CAMERA");
    EXPECT_EQ(rows[0].name, "Fotos \xc3\xbc");
    EXPECT_EQ(rows[1].label, "Backup");
    EXPECT_EQ(rows[1].format, "NTFS");
    EXPECT_EQ(rows[2].label, "Linux home");
    EXPECT_EQ(rows[2].format, "Unknown");
    EXPECT_EQ(rows[2].sizeText, "8.00  MB");
    EXPECT_EQ(rows[3].label, "NO NAME");
    EXPECT_EQ(rows[3].name, "");
}

TEST(PartitionRows, Latin1LabelsAreGivenAsUtf8) {
    PartitionList list{record(kMiB, 8 * kMiB, kFsNtfs, "Caf\xe9", "NTFS")};
    const auto rows = partitionRows(list, kGiB);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].label, "Caf\xc3\xa9");
    EXPECT_EQ(list.front().label, "Caf\xe9") << "the record keeps the label as read";
}

TEST(PartitionExtent, PartitionsBeyondTheEndOfTheMediumAreNamed) {
    PartitionList list{record(kMiB, 8 * kMiB, kFsFat16, "FITS", "FAT16"),
                       record(9 * kMiB, 8 * kMiB, kFsFat16, "HALF", "FAT16"),
                       record(20 * kMiB, 8 * kMiB, kFsNone)};
    const auto rows = partitionRows(list, 32 * kMiB);
    ASSERT_EQ(rows.size(), 3u);
    const uint64_t medium = 13 * kMiB;  // the image was cut short after 13 MiB
    EXPECT_EQ(bytesBeyondEnd(*rows[0].partition, medium), 0u);
    EXPECT_EQ(bytesBeyondEnd(*rows[1].partition, medium), 4 * kMiB);
    EXPECT_EQ(bytesBeyondEnd(*rows[2].partition, medium), 8 * kMiB);
    EXPECT_EQ(cutShortText(1, rows[0], "card.img", medium), "");
    EXPECT_EQ(cutShortText(2, rows[1], "card.img", medium),
              "Partition 2 (HALF, FAT16) ends 4194304 bytes (4.0 MB) beyond the end of card.img: the disk or "
              "image is cut short, and that part of the partition cannot be read.");
    EXPECT_EQ(cutShortText(3, rows[2], "card.img", medium),
              "Partition 3 (Unknown, Unknown) lies wholly beyond the end of card.img, which holds 13631488 "
              "bytes: the disk or image is cut short.");
}

}  // namespace
}  // namespace salvora

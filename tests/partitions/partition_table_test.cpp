#include <gtest/gtest.h>

#include <vector>

#include "crafted_volumes.h"
#include "media/memory_reader.h"
#include "partitions/current_medium.h"
#include "partitions/partition_scheme.h"

namespace salvora {
namespace {

using test::putTableEntry;

constexpr uint64_t kSector = 512;

std::vector<PartitionRecord> asVector(const PartitionList& list) {
    return {list.begin(), list.end()};
}

PartitionList readTable(std::vector<uint8_t> disk) {
    MemoryReader medium(std::move(disk));
    return pcPartitionScheme().readPartitionTable(medium);
}

TEST(PartitionTable, BlankDiskGivesOneEmptyRecord) {
    const auto list = asVector(readTable(std::vector<uint8_t>(1 << 20, 0)));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].offset, 0u);
    EXPECT_EQ(list[0].size, 0u);
    EXPECT_EQ(list[0].fsKind, kFsNone);
    EXPECT_EQ(list[0].order, kOrderNotSet);
    EXPECT_EQ(list[0].scheme, &pcPartitionScheme());
}

TEST(PartitionTable, UnreadableFirstSectorGivesNoList) {
    EXPECT_TRUE(readTable(std::vector<uint8_t>(100, 0)).empty());
}

TEST(PartitionTable, UnpartitionedFatVolumeCoversTheWholeMedium) {
    std::vector<uint8_t> disk(8192 * kSector, 0);
    const auto boot = test::fatBootSector(test::FatFields{});
    std::copy(boot.begin(), boot.end(), disk.begin());
    const auto list = asVector(readTable(disk));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].offset, 0u);
    EXPECT_EQ(list[0].size, disk.size());
    EXPECT_EQ(list[0].order, 1u);
    EXPECT_EQ(list[0].fsName, "FAT16");
    EXPECT_EQ(list[0].label, "CRAFTED");
}

TEST(PartitionTable, BootableFat32EntryIsAPrimaryWithStatus2) {
    const test::FatFields fat32 = test::fat32Fields(70000);
    std::vector<uint8_t> disk((2048 + fat32.totalSectors32) * kSector, 0);
    putTableEntry(disk, 0, 0, 0x0C, 2048, fat32.totalSectors32, 0x80);
    const auto boot = test::fatBootSector(fat32);
    std::copy(boot.begin(), boot.end(), disk.begin() + 2048 * kSector);
    const auto list = asVector(readTable(disk));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].status, kStatusPrimaryBootable);
    EXPECT_EQ(list[0].order, 1u);
    EXPECT_EQ(list[0].typeByte, 0x0Cu);
    EXPECT_EQ(list[0].offset, 2048 * kSector);
    EXPECT_EQ(list[0].size, uint64_t{fat32.totalSectors32} * kSector);
    EXPECT_EQ(list[0].fsName, "FAT32");
}

TEST(PartitionTable, EntriesAreOrderedByOffsetThenSize) {
    std::vector<uint8_t> disk(1 << 20, 0);
    putTableEntry(disk, 0, 0, 0x83, 1000, 50);
    putTableEntry(disk, 0, 1, 0x83, 100, 80);
    putTableEntry(disk, 0, 3, 0x83, 100, 40);
    const auto list = asVector(readTable(disk));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].order, 4u);
    EXPECT_EQ(list[1].order, 2u);
    EXPECT_EQ(list[2].order, 1u);
    EXPECT_EQ(list[0].status, kStatusPrimary);
}

TEST(PartitionTable, TwoEntriesForTheSameRangeAreMerged) {
    std::vector<uint8_t> disk(1 << 20, 0);
    putTableEntry(disk, 0, 0, 0x83, 100, 80);
    putTableEntry(disk, 0, 2, 0x83, 100, 80);
    putTableEntry(disk, 0, 3, 0x82, 100, 80);  // same range, other type: kept apart
    const auto list = asVector(readTable(disk));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].typeByte, 0x82u);
    EXPECT_EQ(list[1].typeByte, 0x83u);
    EXPECT_EQ(list[1].order, 1u) << "the first entry stays";
}

// The disk used by the extended-chain tests: an extended partition at
// sector 4096 whose boot records are written by the test.
class ExtendedChain : public ::testing::Test {
  protected:
    static constexpr uint32_t kExtendedStart = 4096;
    std::vector<uint8_t> disk = std::vector<uint8_t>(64 << 20, 0);

    void SetUp() override { putTableEntry(disk, 0, 0, 0x05, kExtendedStart, 100000); }

    // A boot record at sector `at` with a logical partition 63 sectors after
    // it and, when `next` is non-zero, a link to the boot record at sector `next`.
    void bootRecord(uint32_t at, uint32_t logicalSectors, uint32_t next) {
        if (logicalSectors)
            putTableEntry(disk, uint64_t{at} * kSector, 0, 0x83, 63, logicalSectors);
        if (next)
            putTableEntry(disk, uint64_t{at} * kSector, 1, 0x05, next - kExtendedStart, 1000);
        disk[uint64_t{at} * kSector + 510] = 0x55;
        disk[uint64_t{at} * kSector + 511] = 0xAA;
    }

    std::vector<PartitionRecord> logicals() {
        std::vector<PartitionRecord> found;
        for (const PartitionRecord& record : readTable(disk)) {
            if (record.status == kStatusLogical)
                found.push_back(record);
        }
        return found;
    }
};

TEST_F(ExtendedChain, LogicalPartitionsAreNumberedFrom5InChainOrder) {
    bootRecord(kExtendedStart, 100, 8192);
    bootRecord(8192, 200, 12288);
    bootRecord(12288, 300, 0);
    const auto all = asVector(readTable(disk));
    const auto found = logicals();
    ASSERT_EQ(found.size(), 3u);
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].order, 5 + i);
        EXPECT_EQ(found[i].size, (i + 1) * 100 * kSector);
    }
    // Offsets of logical partitions count from their own boot record.
    EXPECT_EQ(found[1].offset, (8192 + 63) * kSector);
    // Links count from the extended partition and carry the order of the
    // logical partition that follows them.
    size_t links = 0;
    for (const PartitionRecord& record : all) {
        if (record.status != kStatusExtendedLink)
            continue;
        ++links;
        EXPECT_TRUE(record.offset == 8192 * kSector || record.offset == 12288 * kSector);
        EXPECT_EQ(record.order, record.offset == 8192 * kSector ? 6u : 7u);
    }
    EXPECT_EQ(links, 2u);
}

TEST_F(ExtendedChain, ChainStopsAtABootRecordWithoutSignature) {
    bootRecord(kExtendedStart, 100, 8192);
    putTableEntry(disk, 8192 * kSector, 0, 0x83, 63, 200);
    disk[8192 * kSector + 510] = 0;  // unsigned
    EXPECT_EQ(logicals().size(), 1u);
}

TEST_F(ExtendedChain, LongChainStopsWhenTheOrderReaches30) {
    for (uint32_t i = 0; i < 40; ++i) {
        const uint32_t at = kExtendedStart + i * 1024;
        bootRecord(at, 10, at + 1024);
    }
    const auto found = logicals();
    ASSERT_EQ(found.size(), 25u);
    EXPECT_EQ(found.back().order, 29u);
}

TEST_F(ExtendedChain, ChainThatLoopsBackEnds) {
    bootRecord(kExtendedStart, 100, 8192);
    bootRecord(8192, 200, kExtendedStart);
    const auto found = logicals();
    ASSERT_EQ(found.size(), 2u) << "the repeated partitions merge";
    EXPECT_EQ(found[0].order, 5u);
    EXPECT_EQ(found[1].order, 6u);
}

// Regression: boot records that only link to each other never raised the
// order, so the n < 30 bound alone never ended the walk.
TEST_F(ExtendedChain, LinksWithoutLogicalPartitionsDoNotLoopForever) {
    bootRecord(8192, 0, 12288);
    bootRecord(12288, 0, 8192);
    putTableEntry(disk, kExtendedStart * kSector, 1, 0x05, 8192 - kExtendedStart, 1000);
    EXPECT_TRUE(logicals().empty());
}

TEST(InsertPartition, MergeKeepsTheListedRecordAndFillsAMissingStatus) {
    PartitionList list;
    PartitionRecord fat = newPartitionRecord(nullptr);
    fat.offset = 4096;
    fat.size = 8192;
    fat.typeByte = 0x0C;
    fat.fsKind = kFsFat32;
    fat.label = "FIRST";
    EXPECT_FALSE(insertPartition(list, fat));

    PartitionRecord unprobed = fat;
    unprobed.fsKind = kFsNone;
    unprobed.label = "";
    unprobed.status = kStatusPrimary;
    EXPECT_TRUE(insertPartition(list, unprobed)) << "a record without a file system merges";
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front().label, "FIRST");
    EXPECT_EQ(list.front().status, kStatusPrimary);

    PartitionRecord laterStatus = fat;
    laterStatus.status = kStatusLogical;
    EXPECT_TRUE(insertPartition(list, laterStatus));
    EXPECT_EQ(list.front().status, kStatusPrimary) << "a status once set stays";

    PartitionRecord otherKind = fat;
    otherKind.fsKind = kFsNtfs;
    EXPECT_FALSE(insertPartition(list, otherKind)) << "another file system is another record";
    EXPECT_EQ(list.size(), 2u);
}

TEST(CurrentMedium, KeepsThePreviousSchemeWhenNothingCanBeRead) {
    static const PartitionScheme other{nullptr, nullptr, nullptr};
    MemoryReader tiny(std::vector<uint8_t>(100, 0));
    tiny.partitionScheme = &other;
    EXPECT_TRUE(selectCurrentMedium(tiny).empty());
    EXPECT_EQ(tiny.partitionScheme, &other);

    MemoryReader blank(std::vector<uint8_t>(4096, 0));
    blank.partitionScheme = &other;
    EXPECT_EQ(selectCurrentMedium(blank).size(), 1u);
    EXPECT_EQ(blank.partitionScheme, &pcPartitionScheme());
}

TEST(PartitionTypes, ContentIsTestedByTypeByte) {
    // A FAT volume behind an entry of a type that gets no content test stays unknown.
    std::vector<uint8_t> disk((2048 + 8192) * kSector, 0);
    putTableEntry(disk, 0, 0, 0x83, 2048, 8192);
    putTableEntry(disk, 0, 1, 0x06, 2048, 8192);
    const auto boot = test::fatBootSector(test::FatFields{});
    std::copy(boot.begin(), boot.end(), disk.begin() + 2048 * kSector);
    const auto list = asVector(readTable(disk));
    ASSERT_EQ(list.size(), 2u);
    for (const PartitionRecord& record : list) {
        EXPECT_EQ(record.fsKind, record.typeByte == 0x06 ? kFsFat16 : kFsNone);
    }
}

}  // namespace
}  // namespace salvora

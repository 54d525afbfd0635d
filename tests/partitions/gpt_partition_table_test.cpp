// The GUID partition table reader on a disk laid out byte by byte. The CRC-32
// values below were computed with Python's zlib.crc32 over the same bytes;
// the layout follows the UEFI specification (header at LBA 1, entries of
// 128 bytes, backup entries and header at the end of the disk).
#include "partitions/gpt_partition_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "crafted_volumes.h"
#include "media/memory_reader.h"
#include "partitions/crc32.h"
#include "partitions/current_medium.h"
#include "partitions/partition_scheme.h"
#include "partitions/utf16_text.h"

namespace salvora {
namespace {

using test::put16;
using test::put32;
using test::put64;
using test::putText;

constexpr uint64_t kSector = 512;
constexpr uint64_t kDiskSectors = 8192;  // 4 MiB, last LBA 8191

// "Basic data" EBD0A0A2-B9E5-4433-87C0-68B6B72699C7 as GPT stores it.
const uint8_t kBasicData[16] = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};

// CRC-32s of the crafted array and headers (zlib.crc32).
constexpr uint32_t kEntriesCrc = 0x52EFC07F;
constexpr uint32_t kPrimaryHeaderCrc = 0xB8A16B57;
constexpr uint32_t kBackupHeaderCrc = 0xB856344A;

void putEntry(std::vector<uint8_t>& disk, size_t at, uint64_t first, uint64_t last,
              const std::u16string& name) {
    std::memcpy(disk.data() + at, kBasicData, sizeof kBasicData);
    put64(disk, at + 32, first);
    put64(disk, at + 40, last);
    for (size_t i = 0; i < name.size(); ++i)
        put16(disk, at + 56 + 2 * i, name[i]);
}

// Four entries of 128 bytes at LBA `entriesLba`: "CARD" at LBA 64-2111 and
// "Daten ü" at 2112-4159, then two unused.
void putEntries(std::vector<uint8_t>& disk, uint64_t entriesLba) {
    putEntry(disk, entriesLba * kSector, 64, 2111, u"CARD");
    putEntry(disk, entriesLba * kSector + 128, 2112, 4159, u"Daten \u00fc");
}

void putHeader(std::vector<uint8_t>& disk, uint64_t myLba, uint64_t alternateLba, uint64_t entriesLba,
               uint32_t headerCrc) {
    const size_t at = myLba * kSector;
    putText(disk, at, "EFI PART");
    put32(disk, at + 8, 0x00010000);
    put32(disk, at + 12, 92);
    put32(disk, at + 16, headerCrc);
    put64(disk, at + 24, myLba);
    put64(disk, at + 32, alternateLba);
    put64(disk, at + 40, 34);
    put64(disk, at + 48, 8157);
    put64(disk, at + 72, entriesLba);
    put32(disk, at + 80, 4);
    put32(disk, at + 84, 128);
    put32(disk, at + 88, kEntriesCrc);
}

std::vector<uint8_t> gptDisk() {
    std::vector<uint8_t> disk(kDiskSectors * kSector, 0);
    test::putTableEntry(disk, 0, 0, 0xEE, 1, kDiskSectors - 1);
    putEntries(disk, 2);
    putHeader(disk, 1, kDiskSectors - 1, 2, kPrimaryHeaderCrc);
    putEntries(disk, kDiskSectors - 2);
    putHeader(disk, kDiskSectors - 1, 1, kDiskSectors - 2, kBackupHeaderCrc);
    return disk;
}

std::vector<PartitionRecord> readGpt(std::vector<uint8_t> disk) {
    MemoryReader medium(std::move(disk));
    const PartitionList list = readGptPartitionTable(medium);
    return {list.begin(), list.end()};
}

void expectCraftedPartitions(const std::vector<PartitionRecord>& list) {
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].offset, 64 * kSector);
    EXPECT_EQ(list[0].size, 2048 * kSector);
    EXPECT_EQ(list[0].name, "CARD");
    EXPECT_EQ(list[0].order, 1u);
    EXPECT_EQ(list[0].status, kStatusPrimary);
    EXPECT_EQ(list[0].typeGuid, "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7");
    EXPECT_EQ(list[0].fsKind, kFsNone);
    EXPECT_EQ(list[0].scheme, &gptPartitionScheme());
    EXPECT_EQ(list[1].offset, 2112 * kSector);
    EXPECT_EQ(list[1].name, "Daten \xc3\xbc");
    EXPECT_EQ(list[1].order, 2u);
}

TEST(Crc32, CheckValuesOfTheIsoHdlcCrc) {
    const std::string digits = "123456789";
    EXPECT_EQ(crc32Of(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0xCBF43926u);
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    const auto* bytes = reinterpret_cast<const uint8_t*>(fox.data());
    EXPECT_EQ(crc32Of(bytes, fox.size()), 0x414FA339u);
    EXPECT_EQ(crc32Update(crc32Of(bytes, 10), bytes + 10, fox.size() - 10), 0x414FA339u);
    EXPECT_EQ(crc32Of(bytes, 0), 0u);
}

TEST(Utf16Text, NamesBecomeUtf8) {
    // "Fotos ü 📷": U+00FC and the surrogate pair D83D DCF7 of U+1F4F7.
    const std::vector<uint8_t> name{'F',  0, 'o', 0, 't',  0,    'o',  0,    's', 0, ' ', 0,
                                    0xFC, 0, ' ', 0, 0x3D, 0xD8, 0xF7, 0xDC, 0,   0, 'x', 0};
    EXPECT_EQ(utf16leToUtf8(Bytes(name.data(), name.size()), 0, 36), "Fotos \xc3\xbc \xf0\x9f\x93\xb7");
    EXPECT_EQ(utf16leToUtf8(Bytes(name.data(), name.size()), 0, 3), "Fot") << "at most `units` units";
    // A high surrogate without its low half, and a lone low half.
    const std::vector<uint8_t> broken{0x3D, 0xD8, 'A', 0, 0xF7, 0xDC};
    EXPECT_EQ(utf16leToUtf8(Bytes(broken.data(), broken.size()), 0, 36),
              "\xef\xbf\xbd"
              "A\xef\xbf\xbd");
    // The last unit only half in the buffer is not read.
    EXPECT_EQ(utf16leToUtf8(Bytes(name.data(), 3), 0, 36), "F");
}

TEST(GptReader, PrimaryHeaderAndEntriesGiveNamedPartitionsInOffsetOrder) {
    expectCraftedPartitions(readGpt(gptDisk()));
}

TEST(GptReader, DamagedPrimaryHeaderIsReplacedByTheBackup) {
    std::vector<uint8_t> disk = gptDisk();
    disk[kSector + 60] ^= 0x01;  // inside the disk GUID: the header CRC no longer matches
    expectCraftedPartitions(readGpt(disk));
}

TEST(GptReader, DamagedPrimaryEntriesAreReplacedByTheBackup) {
    std::vector<uint8_t> disk = gptDisk();
    disk[2 * kSector + 56] = 'X';  // the first name: the array CRC no longer matches
    expectCraftedPartitions(readGpt(disk));
}

TEST(GptReader, BackupAloneIsNotEnoughWithoutTheProtectiveEntry) {
    std::vector<uint8_t> disk = gptDisk();
    disk[446 + 4] = 0x0C;
    EXPECT_TRUE(readGpt(disk).empty());
}

TEST(GptReader, NoWholeCopyGivesNothingAndThePcTableListsTheProtectiveEntry) {
    std::vector<uint8_t> disk = gptDisk();
    disk[kSector + 60] ^= 0x01;
    disk[(kDiskSectors - 2) * kSector + 56] = 'X';
    EXPECT_TRUE(readGpt(disk).empty());
    MemoryReader medium(disk);
    const PartitionList list = selectCurrentMedium(medium);
    EXPECT_EQ(medium.partitionScheme, &pcPartitionScheme());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front().typeByte, 0xEEu);
    EXPECT_EQ(list.front().offset, kSector);
}

TEST(GptReader, HeadersThatBreakTheRulesAreRefused) {
    struct Case {
        const char* what;
        size_t field;
        uint32_t value;
        uint32_t headerCrc;  // zlib.crc32 of the changed header
    };
    for (const Case& c :
         {Case{"header size below 92", 12, 91, 0}, Case{"entry size not 128 x 2^n", 84, 192, 0x913CA9BA},
          Case{"array beyond 1 MiB", 80, 8193, 0xA69E9390}}) {
        std::vector<uint8_t> disk = gptDisk();
        std::vector<uint8_t> sector(disk.begin() + kSector, disk.begin() + 2 * kSector);
        put32(sector, c.field, c.value);
        put32(sector, 16, c.headerCrc);
        GptHeader header;
        EXPECT_FALSE(parseGptHeader(Bytes(sector.data(), sector.size()), 1, header)) << c.what;
    }
    std::vector<uint8_t> disk = gptDisk();
    GptHeader header;
    EXPECT_TRUE(parseGptHeader(Bytes(disk.data() + kSector, kSector), 1, header));
    EXPECT_EQ(header.entriesLba, 2u);
    EXPECT_EQ(header.alternateLba, kDiskSectors - 1);
    EXPECT_EQ(header.entryCount, 4u);
    EXPECT_EQ(header.entrySize, 128u);
    EXPECT_FALSE(parseGptHeader(Bytes(disk.data() + kSector, kSector), 2, header))
        << "its own LBA must match";
}

TEST(GptReader, EntriesWithReversedOrHugeLbasAreSkipped) {
    std::vector<uint8_t> disk = gptDisk();
    put64(disk, 2 * kSector + 32, 3000);              // first LBA after the last (2111)
    put64(disk, 2 * kSector + 128 + 40, UINT64_MAX);  // beyond any byte offset
    put32(disk, kSector + 88, 0x0E492E62);            // zlib.crc32 of the changed array
    put32(disk, kSector + 16, 0x232E1F0F);            // and of the header naming it
    // The backup still describes both: damage it so the primary is the one read.
    disk[(kDiskSectors - 1) * kSector] = 0;
    EXPECT_TRUE(readGpt(disk).empty());
}

TEST(GptReader, GuidTextUsesTheMixedByteOrder) {
    EXPECT_EQ(guidText(Bytes(kBasicData, sizeof kBasicData), 0), "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7");
    EXPECT_EQ(guidText(Bytes(kBasicData, 15), 0), "");
}

TEST(EmptyPcTable, SignedTableWithoutEntriesIsReadLikeABlankDisk) {
    // What deleting the last partition leaves: boot code, empty entries, 55 AA.
    std::vector<uint8_t> disk(2 << 20, 0);
    disk[0] = 0xFA;
    disk[510] = 0x55;
    disk[511] = 0xAA;
    MemoryReader medium(disk);
    const PartitionList list = selectCurrentMedium(medium);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front().offset, 0u);
    EXPECT_EQ(list.front().size, 0u);
    EXPECT_EQ(list.front().fsKind, kFsNone);
    EXPECT_EQ(medium.partitionScheme, &pcPartitionScheme());
}

}  // namespace
}  // namespace salvora

#include "partitions/gpt_partition_table.h"

#include <cstdio>

#include "media/media_reader.h"
#include "partitions/crc32.h"
#include "partitions/fat_volume.h"
#include "partitions/ntfs_volume.h"
#include "partitions/partition_scheme.h"
#include "partitions/utf16_text.h"

namespace salvora {

namespace {

// The protective entry of the PC table sector.
constexpr size_t kFirstTableEntry = 446;
constexpr size_t kTableEntrySize = 16;
constexpr size_t kTableEntryType = 4;
constexpr uint32_t kProtectiveType = 0xEE;

// Header fields.
constexpr char kSignature[] = "EFI PART";
constexpr size_t kHeaderSize = 12;
constexpr size_t kHeaderCrc = 16;
constexpr size_t kMyLba = 24;
constexpr size_t kAlternateLba = 32;
constexpr size_t kFirstUsableLba = 40;
constexpr size_t kLastUsableLba = 48;
constexpr size_t kEntriesLba = 72;
constexpr size_t kEntryCount = 80;
constexpr size_t kEntrySize = 84;
constexpr size_t kEntriesCrc = 88;
constexpr uint32_t kMinHeaderSize = 92;
constexpr uint32_t kMinEntrySize = 128;

// Entry fields.
constexpr size_t kTypeGuid = 0;
constexpr size_t kGuidLength = 16;
constexpr size_t kFirstLba = 32;
constexpr size_t kLastLba = 40;
constexpr size_t kName = 56;
constexpr size_t kNameUnits = 36;

// Used entries turned into records; a real disk has far fewer, a damaged
// array could ask for thousands of volume tests.
constexpr size_t kMaxGptPartitions = 128;

constexpr uint32_t kPrimaryHeaderLba = 1;

bool validEntrySize(uint32_t size) {
    return size >= kMinEntrySize && size % kMinEntrySize == 0 &&
           ((size / kMinEntrySize) & (size / kMinEntrySize - 1)) == 0;
}

bool headerCrcMatches(Bytes sector, uint32_t headerSize) {
    std::vector<uint8_t> copy(sector.data(), sector.data() + headerSize);
    for (size_t i = 0; i < 4; ++i)
        copy[kHeaderCrc + i] = 0;
    return crc32Of(copy.data(), copy.size()) == sector.le32(kHeaderCrc);
}

bool isUnused(Bytes entry) {
    for (size_t i = 0; i < kGuidLength; ++i) {
        if (entry.u8(kTypeGuid + i) != 0)
            return false;
    }
    return true;
}

// The record of a used entry; false when its LBAs are out of order or too
// large for byte offsets.
bool recordFromEntry(Bytes entry, uint32_t sectorSize, uint32_t number, PartitionRecord& record) {
    const uint64_t first = entry.le64(kFirstLba);
    const uint64_t last = entry.le64(kLastLba);
    if (first > last || last >= UINT64_MAX / sectorSize)
        return false;
    record.offset = first * sectorSize;
    record.size = (last - first + 1) * sectorSize;
    record.status = kStatusPrimary;
    record.order = number;
    record.name = utf16leToUtf8(entry, kName, kNameUnits);
    record.typeGuid = guidText(entry, kTypeGuid);
    return true;
}

PartitionList partitionsFromEntries(MediaReader& reader, const GptHeader& header,
                                    const std::vector<uint8_t>& entries) {
    PartitionList list;
    size_t used = 0;
    for (uint32_t i = 0; i < header.entryCount && used < kMaxGptPartitions; ++i) {
        const Bytes entry(entries.data() + size_t{i} * header.entrySize, header.entrySize);
        if (isUnused(entry))
            continue;
        PartitionRecord record = newPartitionRecord(&gptPartitionScheme());
        if (!recordFromEntry(entry, reader.sectorSize, i + 1, record))
            continue;
        ++used;
        probeGptPartitionContent(reader, record);
        insertPartition(list, record);
    }
    return list;
}

int checkGptTableSector(Bytes sector) {
    return checkPcTableSector(sector) == 0 && hasProtectiveEntry(sector) ? 0 : 1;
}

}  // namespace

bool hasProtectiveEntry(Bytes mbr) {
    if (checkPcTableSector(mbr) != 0)
        return false;
    for (size_t slot = 0; slot < 4; ++slot) {
        if (mbr.u8(kFirstTableEntry + slot * kTableEntrySize + kTableEntryType) == kProtectiveType)
            return true;
    }
    return false;
}

bool parseGptHeader(Bytes sector, uint64_t lba, GptHeader& header) {
    const uint32_t headerSize = sector.le32(kHeaderSize);
    if (!sector.equalsText(0, kSignature) || headerSize < kMinHeaderSize || headerSize > sector.size())
        return false;
    if (!headerCrcMatches(sector, headerSize) || sector.le64(kMyLba) != lba)
        return false;
    header.myLba = lba;
    header.alternateLba = sector.le64(kAlternateLba);
    header.firstUsableLba = sector.le64(kFirstUsableLba);
    header.lastUsableLba = sector.le64(kLastUsableLba);
    header.entriesLba = sector.le64(kEntriesLba);
    header.entryCount = sector.le32(kEntryCount);
    header.entrySize = sector.le32(kEntrySize);
    header.entriesCrc = sector.le32(kEntriesCrc);
    return validEntrySize(header.entrySize) &&
           uint64_t{header.entryCount} * header.entrySize <= kMaxGptEntryBytes;
}

bool readGptCopy(MediaReader& reader, uint64_t lba, GptHeader& header, std::vector<uint8_t>& entries) {
    const uint32_t sectorSize = reader.sectorSize;
    if (sectorSize < kMinHeaderSize || lba > UINT64_MAX / sectorSize)
        return false;
    std::vector<uint8_t> sector(sectorSize);
    if (reader.readAt(sector.data(), sectorSize, lba * sectorSize) != static_cast<int32_t>(sectorSize))
        return false;
    if (!parseGptHeader(Bytes(sector.data(), sector.size()), lba, header))
        return false;
    const uint32_t length = header.entryCount * header.entrySize;
    if (header.entriesLba > (UINT64_MAX - length) / sectorSize)
        return false;
    entries.assign(length, 0);
    if (length != 0 &&
        reader.readAt(entries.data(), length, header.entriesLba * sectorSize) != static_cast<int32_t>(length))
        return false;
    return crc32Of(entries.data(), entries.size()) == header.entriesCrc;
}

std::string guidText(Bytes bytes, size_t at) {
    if (!bytes.has(at, kGuidLength))
        return std::string();
    char text[37];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes.le32(at),
                  bytes.le16(at + 4), bytes.le16(at + 6), bytes.u8(at + 8), bytes.u8(at + 9),
                  bytes.u8(at + 10), bytes.u8(at + 11), bytes.u8(at + 12), bytes.u8(at + 13),
                  bytes.u8(at + 14), bytes.u8(at + 15));
    return text;
}

PartitionList readGptPartitionTable(MediaReader& reader) {
    const uint32_t sectorSize = reader.sectorSize;
    std::vector<uint8_t> mbr(sectorSize);
    if (sectorSize == 0 || reader.readAt(mbr.data(), sectorSize, 0) != static_cast<int32_t>(sectorSize) ||
        !hasProtectiveEntry(Bytes(mbr.data(), mbr.size()))) {
        return PartitionList();
    }
    GptHeader header;
    std::vector<uint8_t> entries;
    if (readGptCopy(reader, kPrimaryHeaderLba, header, entries))
        return partitionsFromEntries(reader, header, entries);
    const uint64_t lastLba = reader.size / sectorSize;
    if (lastLba > kPrimaryHeaderLba && readGptCopy(reader, lastLba - 1, header, entries))
        return partitionsFromEntries(reader, header, entries);
    return PartitionList();
}

int probeGptPartitionContent(MediaReader& reader, PartitionRecord& partition) {
    if (probeFatPartition(reader, partition) == 0)
        return 0;
    return probeNtfsPartition(reader, partition);
}

const PartitionScheme& gptPartitionScheme() {
    static const PartitionScheme scheme{readGptPartitionTable, checkGptTableSector, probeGptPartitionContent};
    return scheme;
}

}  // namespace salvora

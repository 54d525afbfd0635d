#include <set>
#include <vector>

#include "media/media_reader.h"
#include "partitions/fat_volume.h"
#include "partitions/ntfs_volume.h"
#include "partitions/partition_scheme.h"

namespace salvora {

namespace {

constexpr size_t kFirstEntry = 446;
constexpr size_t kEntrySize = 16;
constexpr size_t kEntryCount = 4;
constexpr size_t kSignature = 510;
constexpr size_t kBootRecordSize = 512;
constexpr uint32_t kFirstLogicalOrder = 5;
constexpr uint32_t kOrderLimit = 30;

// Entry fields.
constexpr size_t kBootFlag = 0;
constexpr size_t kType = 4;
constexpr size_t kFirstSector = 8;
constexpr size_t kSectorCount = 12;

Bytes entryAt(Bytes sector, size_t index) {
    const size_t at = kFirstEntry + index * kEntrySize;
    return sector.has(at, kEntrySize) ? Bytes(sector.data() + at, kEntrySize) : Bytes();
}

// The last extended partition in list order, or nullptr.
const PartitionRecord* lastExtended(const PartitionList& list) {
    const PartitionRecord* found = nullptr;
    for (const PartitionRecord& record : list) {
        if (record.status == kStatusExtended)
            found = &record;
    }
    return found;
}

// Reads the boot record at `offset`; false when short or unsigned.
bool readBootRecord(MediaReader& reader, uint64_t offset, uint8_t (&sector)[kBootRecordSize]) {
    if (reader.readAt(sector, kBootRecordSize, offset) < static_cast<int32_t>(kBootRecordSize))
        return false;
    return checkPcTableSector(Bytes(sector, kBootRecordSize)) == 0;
}

// One FAT or NTFS volume that starts at byte 0 and covers the whole medium.
bool wholeMediumVolume(MediaReader& reader, PartitionList& list) {
    PartitionRecord whole = newPartitionRecord(&pcPartitionScheme());
    whole.size = reader.size;
    whole.order = 1;
    if (probeFatPartition(reader, whole) != 0 && probeNtfsPartition(reader, whole) != 0)
        return false;
    list.push_back(whole);
    return true;
}

void readPrimaryEntries(MediaReader& reader, Bytes sector, PartitionList& list) {
    for (size_t slot = 0; slot < kEntryCount; ++slot) {
        const Bytes entry = entryAt(sector, slot);
        const uint32_t type = entry.u8(kType);
        if (type == 0)
            continue;
        PartitionRecord record = newPartitionRecord(&pcPartitionScheme());
        partitionFromTableEntry(reader, 0, record, entry,
                                isExtendedType(type) ? kStatusExtended : kStatusPrimary,
                                static_cast<uint32_t>(slot + 1));
        insertPartition(list, record);
    }
}

}  // namespace

bool isExtendedType(uint32_t type) {
    return type == 0x05 || type == 0x0F || type == 0x85;
}

bool isFatType(uint32_t type) {
    switch (type) {
        case 0x01:
        case 0x04:
        case 0x06:
        case 0x0B:
        case 0x0C:
        case 0x0E:
        case 0x11:
        case 0x14:
        case 0x16:
        case 0x1B:
        case 0x1C:
        case 0x1E:
            return true;
        default:
            return false;
    }
}

bool isNtfsType(uint32_t type) {
    return type == 0x07 || type == 0x17;
}

int checkPcTableSector(Bytes sector) {
    return sector.u8(kSignature) == 0x55 && sector.u8(kSignature + 1) == 0xAA ? 0 : 1;
}

int probePcPartitionContent(MediaReader& reader, PartitionRecord& partition) {
    if (isFatType(partition.typeByte))
        return probeFatPartition(reader, partition);
    if (isNtfsType(partition.typeByte))
        return probeNtfsPartition(reader, partition);
    return 1;
}

void partitionFromTableEntry(MediaReader& reader, uint64_t baseOffset, PartitionRecord& record, Bytes entry,
                             uint32_t status, uint32_t order) {
    record.typeByte = entry.u8(kType);
    record.offset = uint64_t{entry.le32(kFirstSector)} * reader.sectorSize + baseOffset;
    record.size = uint64_t{entry.le32(kSectorCount)} * reader.sectorSize;
    record.order = order;
    record.status = (status == kStatusPrimary && entry.u8(kBootFlag) != 0) ? kStatusPrimaryBootable : status;
    probePcPartitionContent(reader, record);
}

void readExtendedPartitions(MediaReader& reader, PartitionList& list) {
    const PartitionRecord* extended = lastExtended(list);
    if (!extended)
        return;
    const uint64_t extendedOffset = extended->offset;
    uint64_t current = extendedOffset;
    std::set<uint64_t> visited;
    uint32_t order = kFirstLogicalOrder;
    bool more = true;
    while (more && order < kOrderLimit && visited.insert(current).second) {
        uint8_t sector[kBootRecordSize];
        if (!readBootRecord(reader, current, sector))
            return;
        more = false;
        uint64_t next = 0;
        for (size_t slot = 0; slot < kEntryCount; ++slot) {
            const Bytes entry = entryAt(Bytes(sector, sizeof sector), slot);
            const uint32_t type = entry.u8(kType);
            if (type == 0)
                continue;
            PartitionRecord record = newPartitionRecord(&pcPartitionScheme());
            if (isExtendedType(type)) {
                partitionFromTableEntry(reader, extendedOffset, record, entry, kStatusExtendedLink, order);
                next = record.offset;
                more = true;
            } else {
                partitionFromTableEntry(reader, current, record, entry, kStatusLogical, order);
                ++order;
            }
            insertPartition(list, record);
        }
        current = next;
    }
}

PartitionList readPcPartitionTable(MediaReader& reader) {
    PartitionList list;
    std::vector<uint8_t> sector(reader.sectorSize);
    if (reader.readAt(sector.data(), reader.sectorSize, 0) < static_cast<int32_t>(reader.sectorSize))
        return list;
    const Bytes bytes(sector.data(), sector.size());
    if (checkPcTableSector(bytes) != 0) {
        insertPartition(list, newPartitionRecord(&pcPartitionScheme()));
    } else if (wholeMediumVolume(reader, list)) {
        return list;
    }
    readPrimaryEntries(reader, bytes, list);
    readExtendedPartitions(reader, list);
    // A signed table whose entries are all empty (a card whose partition was
    // deleted) is read like a blank disk: one empty record.
    if (list.empty())
        insertPartition(list, newPartitionRecord(&pcPartitionScheme()));
    return list;
}

const PartitionScheme& pcPartitionScheme() {
    static const PartitionScheme scheme{readPcPartitionTable, checkPcTableSector, probePcPartitionContent};
    return scheme;
}

}  // namespace salvora

// The partition-table reader a medium uses, and the PC partition table
// (master boot record with four primary entries and a chain of extended boot
// records).
#pragma once

#include <cstdint>

#include "media/bytes.h"
#include "partitions/partition_record.h"

namespace salvora {

class MediaReader;

// The operations of one partition-table reader. MediaReader::partitionScheme
// refers to one of these; records keep a reference to the scheme that made them.
struct PartitionScheme {
    // The partitions of the medium, each tested for a file system. Empty when
    // the first sector cannot be read.
    PartitionList (*readPartitionTable)(MediaReader& reader);
    // 0 when the table sector carries the 55 AA signature at 510, 1 otherwise.
    int (*checkTableSector)(Bytes sector);
    // Tests the partition's content by its type byte; 0 when a file system was found.
    int (*probePartitionContent)(MediaReader& reader, PartitionRecord& partition);
};

// The PC partition table reader (one static instance). GUID partition tables
// have a reader of their own (gpt_partition_table.h).
const PartitionScheme& pcPartitionScheme();

// Partition types.
bool isExtendedType(uint32_t type);  // 05, 0F, 85
bool isFatType(uint32_t type);       // 01 04 06 0B 0C 0E 11 14 16 1B 1C 1E
bool isNtfsType(uint32_t type);      // 07, 17

// The PC table: a single FAT or NTFS volume covering the whole medium, or the
// primary entries and the extended chain, ordered by offset then size. A
// sector without 55 AA, or a signed table without a used entry, gives one
// empty record (offset 0, size 0) before the entries.
PartitionList readPcPartitionTable(MediaReader& reader);
int checkPcTableSector(Bytes sector);
int probePcPartitionContent(MediaReader& reader, PartitionRecord& partition);

// Fills `record` from the 16-byte table `entry` (first sector relative to
// `baseOffset`) and tests its content. Status 1 becomes 2 when the entry's
// boot flag is set; any other status is kept.
void partitionFromTableEntry(MediaReader& reader, uint64_t baseOffset, PartitionRecord& record, Bytes entry,
                             uint32_t status, uint32_t order);

// Follows the extended chain of the last extended partition in `list`,
// adding logical partitions (orders 5, 6, ...) and chain links. Stops at an
// unreadable or unsigned boot record, at a boot record already read, and
// once the order reaches 30.
void readExtendedPartitions(MediaReader& reader, PartitionList& list);

}  // namespace salvora

// One partition of a medium, as the partition table and the file-system tests
// describe it, and the list of them that a partition table reads.
#pragma once

#include <cstdint>
#include <list>
#include <string>

namespace salvora {

struct PartitionScheme;

// File-system kinds.
enum FsKind : uint32_t { kFsNone = 0, kFsFat12 = 8, kFsFat16 = 9, kFsFat32 = 10, kFsNtfs = 26 };

// Partition status.
enum PartitionStatus : uint32_t {
    kStatusNone = 0,
    kStatusPrimary = 1,
    kStatusPrimaryBootable = 2,
    kStatusLogical = 3,
    kStatusExtended = 4,
    kStatusExtendedLink = 5,
};

// Slot number of a record that was not made from a table slot.
constexpr uint32_t kOrderNotSet = 255;
// Longest label and file-system name a record keeps.
constexpr size_t kMaxRecordText = 79;

struct PartitionRecord {
    uint64_t offset = 0;    // byte offset of the first byte on the medium
    uint64_t size = 0;      // length in bytes
    uint32_t typeByte = 0;  // type byte of the table entry (0 when not from a table)
    uint32_t fsKind = kFsNone;
    uint32_t status = kStatusNone;
    uint32_t order = kOrderNotSet;  // 1-4 primary slots, 5 and up logical, 255 not set
    std::string label;              // volume label, up to 79 characters (8-bit, Latin-1 for NTFS)
    std::string fsName;             // "FAT12", "FAT16", "FAT32" or "NTFS"
    std::string name;               // GPT partition name (UTF-8); empty for PC table entries
    std::string typeGuid;           // GPT partition type ("EBD0A0A2-B9E5-..."); empty for PC entries
    const PartitionScheme* scheme = nullptr;
};

// The partitions of one medium, ordered by offset, then by size.
using PartitionList = std::list<PartitionRecord>;

// A fresh record: everything zero, order 255, made by `scheme`.
PartitionRecord newPartitionRecord(const PartitionScheme* scheme);

// Inserts `record` before the first record with a larger offset, or the same
// offset and a larger or equal size (at the end when there is none). When
// that record has the same offset, size and type byte, and the same
// file-system kind (or `record` found none), `record` is merged into it
// instead: the listed record keeps its fields and takes the new status when
// its own is 0. Returns true when merged (nothing was added).
bool insertPartition(PartitionList& list, const PartitionRecord& record);

}  // namespace salvora

// One partition of a medium, as the partition table and the file-system tests describe it.
#pragma once

#include <cstdint>
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

struct PartitionRecord {
    uint64_t offset = 0;     // byte offset of the first byte on the medium
    uint64_t size = 0;       // length in bytes
    uint32_t typeByte = 0;   // type byte of the table entry (0 when not from a table)
    uint32_t fsKind = kFsNone;
    uint32_t status = kStatusNone;
    uint32_t order = 255;    // 1-4 primary slots, 5 and up logical, 255 not set
    std::string label;       // volume label, up to 80 characters
    std::string fsName;      // "FAT12", "FAT16", "FAT32" or "NTFS"
    const PartitionScheme* scheme = nullptr;
};

}  // namespace salvora

// Recognising FAT12, FAT16 and FAT32 volumes by their boot sector, and their labels.
#pragma once

#include <cstdint>

#include "media/bytes.h"
#include "partitions/partition_record.h"

namespace salvora {

class MediaReader;

// Where the parts of a FAT volume lie, from the fields of its boot sector.
// Sector numbers count from the volume's first sector.
struct FatLayout {
    uint32_t bytesPerSector = 0;
    uint32_t sectorsPerCluster = 0;
    uint32_t fatCount = 0;
    uint64_t fatStart = 0;      // first sector of the first FAT (the reserved sectors)
    uint64_t fatSize = 0;       // sectors per FAT
    uint32_t activeFat = 0;     // the FAT to read: 0, or the active one when FAT32 mirroring is off
    uint64_t rootStart = 0;     // first sector of the fixed root directory (FAT12/16)
    uint64_t rootSectors = 0;   // its length in sectors (0 on FAT32)
    uint32_t rootCluster = 0;   // first cluster of the root directory (FAT32)
    uint64_t dataStart = 0;     // first sector of cluster 2
    uint64_t totalSectors = 0;  // sectors of the volume
    uint64_t clusters = 0;      // data clusters (numbered from 2), 0 when the data area lies past the end
};

// The layout that the boot sector at the start of `sector` describes. Fields
// the sector does not hold read as 0; nothing is validated here
// (checkFatBootSector does that).
FatLayout fatLayout(Bytes sector);

struct FatCheckOptions {
    // Accept a volume whose total sectors exceed the partition. Windows 2000
    // skipped this test; no system the programs run on needs it, so it is
    // false everywhere outside the tests.
    bool skipSizeCheck = false;
};

// Reads the first three sectors of `partition` and, when they hold a valid
// FAT boot sector, fills fsKind, fsName and label. Returns 0 when a FAT
// volume was found, 1 when not or when the read came back short. `verbose`
// changes nothing.
int probeFatPartition(MediaReader& reader, PartitionRecord& partition, bool verbose = false);

// Validates the FAT boot sector at the start of `sectors` against the medium's
// sector size and the partition's size, and classifies it by its cluster
// count. Returns 0 and sets fsKind (8, 9 or 10) when valid, 1 otherwise.
int checkFatBootSector(const MediaReader& reader, Bytes sectors, PartitionRecord& partition,
                       FatCheckOptions options = {});

// Sets fsName and label of a partition that passed checkFatBootSector. A
// FAT32 label comes from the root directory's volume-label entry, or from
// the boot sector when the directory has none; an unreadable root directory
// only loses that entry.
void readFatVolumeInfo(MediaReader& reader, Bytes bootSector, PartitionRecord& partition);

}  // namespace salvora

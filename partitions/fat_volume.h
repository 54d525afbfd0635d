// Recognising FAT12, FAT16 and FAT32 volumes by their boot sector, and their labels.
#pragma once

#include <cstdint>

#include "media/bytes.h"
#include "partitions/partition_record.h"

namespace salvora {

class MediaReader;

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

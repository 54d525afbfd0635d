// Recognising NTFS volumes by their boot sector, and their label from the
// master file table.
#pragma once

#include "media/bytes.h"
#include "partitions/partition_record.h"

namespace salvora {

class MediaReader;

// Largest file record the label search reads; four records are read. Real
// volumes use 1024 or 4096 bytes; a boot sector asking for more is damaged.
constexpr uint64_t kMaxNtfsRecordSize = 65536;

// Reads the first 512 bytes of `partition` and, when they hold a valid NTFS
// boot sector, sets fsKind, fsName "NTFS" and the label. Returns 0 when NTFS
// was found, 1 when not or when the read came back short.
int probeNtfsPartition(MediaReader& reader, PartitionRecord& partition);

// Validates an NTFS boot sector against the partition's size. Returns 0 and
// sets fsKind 26 when valid, 1 otherwise.
int checkNtfsBootSector(Bytes sector, PartitionRecord& partition);

// Sets the label from the volume-name attribute of the first four file
// records of the master file table. A damaged or unreadable table, or a
// record size beyond kMaxNtfsRecordSize, leaves the label unchanged.
void readNtfsLabel(MediaReader& reader, Bytes bootSector, PartitionRecord& partition);

}  // namespace salvora

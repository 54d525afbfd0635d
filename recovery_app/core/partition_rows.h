// The rows of the partition list that both front ends show, and the
// partition a recovery takes from the chosen row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "partitions/partition_record.h"

namespace salvora {

// At most this many partition records are looked at for rows.
constexpr size_t kMaxPartitionEntries = 11;

struct PartitionRow {
    std::string label;           // UTF-8: the volume label, the GPT name, "NO NAME", or "Unknown"
    std::string format;          // fsName, or "Unknown"
    std::string sizeText;        // size text of the partition, or "Unknown"
    PartitionRecord* partition;  // the record in the list
    std::string name;            // UTF-8 GPT partition name; empty for PC table entries
};

// The 8-bit (Latin-1) text of a volume label as UTF-8.
std::string latin1ToUtf8(const std::string& text);

// Rows for the first kMaxPartitionEntries records of `list`: a FAT or NTFS
// record gives its label (or "NO NAME"), fsName and size; a record without a
// file system gives "Unknown", "Unknown" and its size when that is non-zero
// and below `diskSize`. Otherwise that record is made to cover the whole disk
// (offset 0, size diskSize), gives the last row, and the walk ends. With a
// diskSize of 0 such a row shows "Unknown" as its size. A GPT partition whose
// volume has no label shows its partition name instead of "NO NAME" or
// "Unknown". Labels (Latin-1 in the records) are given as UTF-8.
std::vector<PartitionRow> partitionRows(PartitionList& list, uint64_t diskSize);

// The partition of row `row` (counted from 0) to recover, or nullptr when
// there is no such row or the partition's size is 0.
PartitionRecord* partitionToRecover(const std::vector<PartitionRow>& rows, size_t row);

}  // namespace salvora

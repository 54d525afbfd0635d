// The files that a FAT volume's directories still describe: live files along
// their cluster chains and deleted files from their surviving directory
// entries, each with the byte runs it takes on the medium.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "partitions/partition_record.h"

namespace salvora {

class MediaReader;

// A piece of a file on the medium.
struct MediumRun {
    uint64_t offset = 0;  // absolute byte offset on the medium
    uint64_t length = 0;
    bool operator==(const MediumRun&) const = default;
};

enum class FatFileState {
    kLive,        // listed, and its cluster chain covers its size: `runs` hold it
    kUnreliable,  // listed, but its chain is not to be trusted (see FatChainFault): no runs
    kDeleted,     // a deleted entry: `candidates` hold the placements its first cluster allows
};

// Why a live file's chain is not trusted.
enum class FatChainFault {
    kNone,
    kOutsideVolume,  // the first cluster or a link lies outside the volume
    kFreeCluster,    // the chain reaches a cluster the FAT marks free
    kBadCluster,     // the chain reaches a cluster the FAT marks bad
    kShortChain,     // the chain ends before the size is covered
    kLoop,           // the chain comes back to one of its own clusters
    kCrossLinked,    // another file's chain or a directory uses one of its clusters
};

// One placement of a deleted file: taken as contiguous from `firstCluster`
// over the clusters the FAT marks free, stepping over the used ones.
struct FatPlacement {
    uint32_t firstCluster = 0;
    std::vector<MediumRun> runs;
    bool complete = false;  // the runs cover the whole size (false: the free space ran out first)
};

struct FatFile {
    uint32_t folder = 0;  // index into FatMap::folders
    std::string name;     // UTF-8 long name, or the 8.3 name when no long name belongs to the entry
    uint64_t size = 0;
    FatFileState state = FatFileState::kLive;
    FatChainFault fault = FatChainFault::kNone;  // kUnreliable only
    uint32_t firstCluster = 0;                   // as the entry records it
    std::vector<MediumRun> runs;                 // kLive: the chain, bounded by the size
    // kDeleted: one placement for the recorded first cluster and, on FAT32
    // when the high word may have been cleared (it is not 0), one for the
    // low word alone; a first cluster that is in use or outside the volume
    // gives none. The caller picks the one whose first bytes fit the file.
    std::vector<FatPlacement> candidates;
};

struct FatMap {
    // UTF-8 paths of the folders from the root ("" for the root, "DCIM/100CANON").
    std::vector<std::string> folders;
    std::vector<FatFile> files;  // in the order the directory walk met them (root first, then by folder)
    uint64_t clusterBytes = 0;
};

// Reads the FAT of the FAT12/16/32 volume `partition` (found by
// probeFatPartition, which sets fsKind) and walks its directory tree from the
// root: subdirectories, deleted subdirectories whose first cluster still holds
// their "." entry, long names with their checksums. Everything is bounded:
// every cluster is read at most once as a directory, a directory at most
// 65,536 entries, folders at most 64 deep; chains are followed at most as far
// as the size needs. Memory is about the size of the FAT plus the map.
// Returns nothing when the partition is not FAT or its boot sector or every
// copy of its FAT cannot be read.
std::optional<FatMap> mapFatVolume(MediaReader& reader, const PartitionRecord& partition);

}  // namespace salvora

// Cluster chains of live files, and the placement of deleted files over the
// free clusters, on a FAT held in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "partitions/fat_directory.h"
#include "partitions/fat_table.h"

namespace salvora {

// Consecutive clusters [first, first + count).
struct ClusterRun {
    uint32_t first = 0;
    uint32_t count = 0;
};

// The clusters that directories and live chains have taken, with a second
// mark for those taken more than once (two bits per cluster).
class ClusterClaims {
  public:
    explicit ClusterClaims(uint32_t clusterEnd) : taken_(clusterEnd), shared_(clusterEnd) {}

    // Marks `cluster` taken. Returns false (and marks it shared) when it was
    // taken before; clusters outside the table are refused.
    bool claim(uint32_t cluster);
    bool taken(uint32_t cluster) const { return cluster < taken_.size() && taken_[cluster]; }
    bool shared(uint32_t cluster) const { return cluster < shared_.size() && shared_[cluster]; }

  private:
    std::vector<bool> taken_;
    std::vector<bool> shared_;
};

struct ChainWalk {
    std::vector<ClusterRun> runs;  // the chain in order, as many clusters as the size needs
    FatChainFault fault = FatChainFault::kNone;
};

// Follows the chain of a live file of `size` bytes from `first`, claiming
// each cluster. Stops at the first fault; takes at most as many clusters as
// the size needs, so a looping chain costs no more than a straight one.
ChainWalk followChain(const FatTable& fat, uint32_t first, uint64_t size, ClusterClaims& claims);

// True when one of the clusters of `runs` is shared with another claim.
bool sharesClusters(const std::vector<ClusterRun>& runs, const ClusterClaims& claims);

// The runs of free clusters of a FAT, for placing deleted files.
class FreeSpace {
  public:
    explicit FreeSpace(const FatTable& fat);

    // The clusters of a deleted file of `size` bytes whose first cluster was
    // `first`: from `first` on over the free clusters, stepping over used
    // ones, until the size is covered. Empty when `first` is not free.
    // `complete` is false when the free space ran out, or `maxRuns` runs were
    // not enough, before the size was covered.
    std::vector<ClusterRun> place(uint32_t first, uint64_t size, size_t maxRuns, bool& complete) const;

  private:
    std::vector<ClusterRun> extents_;  // ascending
    uint64_t clusterBytes_ = 0;
};

// Clusters needed for `size` bytes, saturated at 0xFFFFFFFF.
uint32_t clustersFor(uint64_t size, uint64_t clusterBytes);

// Byte runs on the medium of `runs`, cut to `size` bytes.
std::vector<MediumRun> mediumRuns(const FatTable& fat, const std::vector<ClusterRun>& runs, uint64_t size);

}  // namespace salvora

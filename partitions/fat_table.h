// The file allocation table of a FAT12, FAT16 or FAT32 volume, held in
// memory with one 32-bit entry per cluster, and where clusters lie on the medium.
#pragma once

#include <cstdint>
#include <vector>

#include "partitions/fat_volume.h"

namespace salvora {

class MediaReader;

class FatTable {
  public:
    // Entry values, the same for the three FAT kinds (FAT12 and FAT16 end
    // and bad marks are widened to the FAT32 values).
    static constexpr uint32_t kFree = 0;
    static constexpr uint32_t kBad = 0x0FFFFFF7;
    static constexpr uint32_t kEndOfChain = 0x0FFFFFF8;  // this and above end a chain
    static constexpr uint32_t kFirstCluster = 2;

    // Reads the FAT of the volume at byte `volumeOffset` of `reader` whose
    // boot sector gave `layout` and was classified as `fsKind` (8, 9 or 10).
    // Clusters that lie past the end of the medium or that the FAT has no
    // entry for are left out (clusterEnd() is lowered). When a read of the
    // FAT fails, its next copy is tried. Returns false, leaving the table
    // empty, when no copy can be read or the layout has no data clusters.
    bool read(MediaReader& reader, uint64_t volumeOffset, const FatLayout& layout, uint32_t fsKind);

    // One past the last cluster the table describes (clusters are numbered from 2).
    uint32_t clusterEnd() const { return static_cast<uint32_t>(entries_.size()); }
    bool inVolume(uint32_t cluster) const { return cluster >= kFirstCluster && cluster < clusterEnd(); }

    // The entry of `cluster` (kBad for a cluster outside the volume).
    uint32_t entry(uint32_t cluster) const { return inVolume(cluster) ? entries_[cluster] : kBad; }
    bool isFree(uint32_t cluster) const { return inVolume(cluster) && entries_[cluster] == kFree; }
    // True when `value` points to a next cluster inside the volume.
    bool isLink(uint32_t value) const { return inVolume(value); }
    static bool isEndOfChain(uint32_t value) { return value >= kEndOfChain; }

    uint64_t clusterBytes() const { return clusterBytes_; }
    // Absolute byte offset on the medium of the first byte of `cluster`.
    uint64_t clusterOffset(uint32_t cluster) const {
        return dataOffset_ + uint64_t{cluster - kFirstCluster} * clusterBytes_;
    }

  private:
    bool readCopy(MediaReader& reader, uint64_t fatOffset, uint32_t fsKind, uint32_t entryCount);

    std::vector<uint32_t> entries_;
    uint64_t clusterBytes_ = 0;
    uint64_t dataOffset_ = 0;
};

}  // namespace salvora

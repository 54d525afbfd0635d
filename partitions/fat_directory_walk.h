// The walk over a FAT volume's directory tree that lists the file entries it
// meets, live and deleted, with their names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "partitions/fat_chains.h"
#include "partitions/fat_table.h"
#include "partitions/fat_volume.h"

namespace salvora {

class MediaReader;

// A file's directory entry as the walk found it.
struct FatEntry {
    uint32_t folder = 0;  // index into FatListing::folders
    std::string name;     // UTF-8
    uint64_t size = 0;
    uint16_t clusterHigh = 0;  // FAT32 only; 0 on FAT12/16
    uint16_t clusterLow = 0;
    bool deleted = false;  // the entry is deleted, or lies in a deleted folder

    uint32_t firstCluster() const { return uint32_t{clusterHigh} << 16 | clusterLow; }
};

struct FatVolume {
    MediaReader* reader = nullptr;
    uint64_t offset = 0;  // byte offset of the volume on the medium
    FatLayout layout;
    uint32_t fsKind = 0;
    const FatTable* fat = nullptr;
};

struct FatListing {
    std::vector<std::string> folders;  // UTF-8 paths from the root; the root ("") first
    std::vector<FatEntry> entries;     // in the order met
};

// Walks the folders of `volume` from the root, breadth first, and lists the
// file entries and the folders that hold them. Every cluster read as a directory is
// claimed in `claims`; a cluster already claimed is not read again, so loops
// and shared directory clusters end the walk of that folder.
FatListing walkFatDirectories(const FatVolume& volume, ClusterClaims& claims);

}  // namespace salvora

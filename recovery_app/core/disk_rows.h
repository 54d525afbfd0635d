// The rows of the disk list that both front ends show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/disk_list.h"

namespace salvora {

// Which disks the list shows (the settings' disk type).
enum DiskTypeFilter : int32_t { kRemovableDisks = 0, kFixedDisks = 1, kAllDisks = 2 };

// The list shows at most this many disks.
constexpr size_t kMaxDiskRows = 20;

struct DiskRow {
    std::string model;     // first column: the disk's model text (may be empty)
    std::string sizeText;  // second column
    MediaReader* disk;     // the listed reader, owned by the DiskList
};

// The name of a disk in messages: its product, else its model, else its device path.
std::string diskName(const MediaReader& disk);

// One row per disk of `list` in its order that passes `filter` (all disks,
// or those whose fixedMedia equals the filter), at most kMaxDiskRows.
std::vector<DiskRow> diskRows(const DiskList& list, int32_t filter);

}  // namespace salvora

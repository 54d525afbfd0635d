// What one run of the window program recovers from and with: the listed
// disks, the partitions of the disk chosen last, the chosen partition, the
// search space and the families looked for. The application owns it for the
// life of the program; the main window reads and changes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "carve/family.h"
#include "carve/search_space.h"
#include "media/disk_list.h"
#include "partitions/partition_record.h"
#include "recovery_app/core/disk_rows.h"
#include "recovery_app/core/partition_rows.h"
#include "recovery_app/core/start_arguments.h"

namespace salvora {

struct ScanContext {
    DiskList disks;
    std::vector<DiskRow> diskRows;            // the rows shown, referring into disks
    PartitionList partitions;                 // of currentMedium
    std::vector<PartitionRow> partitionRows;  // the rows shown, referring into partitions
    MediaReader* currentMedium = nullptr;     // one of disks, or null
    PartitionRecord* currentPartition = nullptr;
    SearchSpace searchSpace;
    EnabledFamilies enabledFamilies;  // starts with the families' start values
    uint32_t blockSize = 0;           // 0: the scan finds it

    ScanContext();
};

// Lists the disks of `source` and then the `images`, and keeps the rows
// `diskType` (0 removable, 1 fixed, 2 all) shows. The disks listed before
// are closed, so the partitions and the current medium and partition are
// forgotten too: the user chooses the disk again. Images that cannot be
// opened are named in `failures`.
void rebuildDisks(ScanContext& context, DiskSource& source, const std::vector<ImageArgument>& images,
                  int32_t diskType, std::vector<std::string>& failures);

// Makes the disk of row `row` the current medium and reads its partitions
// into rows. False when there is no such row, or nothing of the disk could
// be read (no partitions then; lastErrorText may tell why).
bool chooseDisk(ScanContext& context, size_t row);

// Forgets the partitions and the current medium and partition.
void forgetPartitions(ScanContext& context);

}  // namespace salvora

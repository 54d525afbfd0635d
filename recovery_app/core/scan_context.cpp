#include "recovery_app/core/scan_context.h"

#include "formats/family_table.h"
#include "partitions/current_medium.h"
#include "partitions/partition_scheme.h"
#include "recovery_app/core/image_disks.h"

namespace salvora {

ScanContext::ScanContext() : enabledFamilies(defaultEnabledFamilies()) {}

void forgetPartitions(ScanContext& context) {
    context.partitionRows.clear();
    context.partitions.clear();
    context.currentMedium = nullptr;
    context.currentPartition = nullptr;
}

void rebuildDisks(ScanContext& context, DiskSource& source, const std::vector<ImageArgument>& images,
                  int32_t diskType, std::vector<std::string>& failures) {
    forgetPartitions(context);
    context.diskRows.clear();
    context.disks = DiskList{};
    context.disks = listDisks(&pcPartitionScheme(), kDefaultOpenFlags, source);
    addImageDisks(context.disks, images, failures);
    context.diskRows = diskRows(context.disks, diskType);
}

bool chooseDisk(ScanContext& context, size_t row) {
    forgetPartitions(context);
    if (row >= context.diskRows.size())
        return false;
    MediaReader& disk = *context.diskRows[row].disk;
    context.partitions = selectCurrentMedium(disk);
    context.currentMedium = &disk;
    context.partitionRows = partitionRows(context.partitions, disk.size);
    return !context.partitions.empty();
}

}  // namespace salvora

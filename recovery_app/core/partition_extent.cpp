#include "recovery_app/core/partition_extent.h"

#include "recovery_app/core/progress_estimate.h"

namespace salvora {

uint64_t bytesBeyondEnd(const PartitionRecord& partition, uint64_t mediumSize) {
    if (partition.offset >= mediumSize)
        return partition.size;
    const uint64_t room = mediumSize - partition.offset;
    return partition.size > room ? partition.size - room : 0;
}

std::string cutShortText(size_t number, const PartitionRow& row, const std::string& mediumPath,
                         uint64_t mediumSize) {
    const PartitionRecord& partition = *row.partition;
    const uint64_t beyond = bytesBeyondEnd(partition, mediumSize);
    if (beyond == 0)
        return std::string();
    const std::string name =
        "Partition " + std::to_string(number) + " (" + row.label + ", " + row.format + ")";
    if (partition.offset >= mediumSize) {
        return name + " lies wholly beyond the end of " + mediumPath + ", which holds " +
               std::to_string(mediumSize) + " bytes: the disk or image is cut short.";
    }
    return name + " ends " + std::to_string(beyond) + " bytes (" + byteText(beyond) + ") beyond the end of " +
           mediumPath + ": the disk or image is cut short, and that part of the partition cannot be read.";
}

}  // namespace salvora

#include "recovery_app/core/partition_rows.h"

#include "recovery_app/core/messages.h"
#include "recovery_app/core/size_text.h"

namespace salvora {

namespace {

bool hasKnownFileSystem(uint32_t fsKind) {
    return fsKind == kFsFat12 || fsKind == kFsFat16 || fsKind == kFsFat32 || fsKind == kFsNtfs;
}

}  // namespace

std::vector<PartitionRow> partitionRows(PartitionList& list, uint64_t diskSize) {
    std::vector<PartitionRow> rows;
    size_t examined = 0;
    for (PartitionRecord& record : list) {
        if (examined++ == kMaxPartitionEntries)
            break;
        if (hasKnownFileSystem(record.fsKind)) {
            rows.push_back({record.label.empty() ? messages::kNoName : record.label, record.fsName,
                            sizeText(record.size), &record});
            continue;
        }
        if (record.fsKind != kFsNone)
            continue;
        if (diskSize == 0) {
            rows.push_back({messages::kUnknown, messages::kUnknown, messages::kUnknown, &record});
            continue;
        }
        if (record.size != 0 && record.size < diskSize) {
            rows.push_back({messages::kUnknown, messages::kUnknown, sizeText(record.size), &record});
            continue;
        }
        record.offset = 0;
        record.size = diskSize;
        rows.push_back({messages::kUnknown, messages::kUnknown, sizeText(diskSize), &record});
        break;
    }
    return rows;
}

PartitionRecord* partitionToRecover(const std::vector<PartitionRow>& rows, size_t row) {
    if (row >= rows.size() || rows[row].partition->size == 0)
        return nullptr;
    return rows[row].partition;
}

}  // namespace salvora

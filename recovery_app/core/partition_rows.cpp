#include "recovery_app/core/partition_rows.h"

#include "recovery_app/core/messages.h"
#include "recovery_app/core/size_text.h"

namespace salvora {

namespace {

bool hasKnownFileSystem(uint32_t fsKind) {
    return fsKind == kFsFat12 || fsKind == kFsFat16 || fsKind == kFsFat32 || fsKind == kFsNtfs;
}

// The row of `record` with `label` unless the volume has a label of its own
// or the partition has no name.
PartitionRow rowOf(PartitionRecord& record, const std::string& fallbackLabel, const std::string& format,
                   const std::string& sizeText) {
    std::string label = record.label.empty() ? fallbackLabel : latin1ToUtf8(record.label);
    if (record.label.empty() && !record.name.empty())
        label = record.name;
    return {label, format, sizeText, &record, record.name};
}

}  // namespace

std::string latin1ToUtf8(const std::string& text) {
    std::string utf8;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::vector<PartitionRow> partitionRows(PartitionList& list, uint64_t diskSize) {
    std::vector<PartitionRow> rows;
    size_t examined = 0;
    for (PartitionRecord& record : list) {
        if (examined++ == kMaxPartitionEntries)
            break;
        if (hasKnownFileSystem(record.fsKind)) {
            rows.push_back(rowOf(record, messages::kNoName, record.fsName, sizeText(record.size)));
            continue;
        }
        if (record.fsKind != kFsNone)
            continue;
        if (diskSize == 0) {
            rows.push_back(rowOf(record, messages::kUnknown, messages::kUnknown, messages::kUnknown));
            continue;
        }
        if (record.size != 0 && record.size < diskSize) {
            rows.push_back(rowOf(record, messages::kUnknown, messages::kUnknown, sizeText(record.size)));
            continue;
        }
        record.offset = 0;
        record.size = diskSize;
        rows.push_back(rowOf(record, messages::kUnknown, messages::kUnknown, sizeText(diskSize)));
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

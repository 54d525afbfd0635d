#include "partitions/partition_record.h"

namespace salvora {

PartitionRecord newPartitionRecord(const PartitionScheme* scheme) {
    PartitionRecord record;
    record.order = kOrderNotSet;
    record.scheme = scheme;
    return record;
}

namespace {

// True when `listed` is the first record `record` goes before.
bool goesBefore(const PartitionRecord& record, const PartitionRecord& listed) {
    if (listed.offset != record.offset)
        return listed.offset > record.offset;
    return listed.size >= record.size;
}

bool sameRange(const PartitionRecord& a, const PartitionRecord& b) {
    return a.offset == b.offset && a.size == b.size && a.typeByte == b.typeByte;
}

}  // namespace

bool insertPartition(PartitionList& list, const PartitionRecord& record) {
    auto place = list.begin();
    while (place != list.end() && !goesBefore(record, *place))
        ++place;
    if (place != list.end() && sameRange(*place, record) &&
        (place->fsKind == record.fsKind || record.fsKind == kFsNone)) {
        if (place->status == kStatusNone)
            place->status = record.status;
        return true;
    }
    list.insert(place, record);
    return false;
}

}  // namespace salvora

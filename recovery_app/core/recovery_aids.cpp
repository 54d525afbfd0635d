#include "recovery_app/core/recovery_aids.h"

#include "partitions/fat_file_map.h"

namespace salvora {

void RecoveryAids::prepare(MediaReader& medium, uint64_t offset, uint64_t length, bool namesFromMap) {
    map_ = fatFileMapAt(medium, offset, length);
    aids_.fileMap = map_ ? &*map_ : nullptr;
    aids_.joiner = &joiner_;
    aids_.namesFromMap = namesFromMap;
}

}  // namespace salvora

// Partitions that reach beyond the end of their medium: a table that
// describes a larger disk than the image holds (an image cut short, a copy
// that stopped early).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "recovery_app/core/partition_rows.h"

namespace salvora {

// The bytes of `partition` that lie beyond a medium of `mediumSize` bytes
// (all of it when it starts at or after the end); 0 when it fits.
uint64_t bytesBeyondEnd(const PartitionRecord& partition, uint64_t mediumSize);

// The sentence naming partition `number` (counted from 1, as the listing
// numbers it) of `mediumPath` when it does not fit in `mediumSize` bytes;
// empty when it fits.
std::string cutShortText(size_t number, const PartitionRow& row, const std::string& mediumPath,
                         uint64_t mediumSize);

}  // namespace salvora

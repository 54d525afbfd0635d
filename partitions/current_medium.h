// Making a disk the current medium: its partitions are read with the PC table.
#pragma once

#include "partitions/partition_record.h"

namespace salvora {

class MediaReader;

// Gives `reader` the PC partition scheme and returns its partition list.
// When the list comes back empty (the first sector could not be read) the
// reader keeps the scheme it had before.
PartitionList selectCurrentMedium(MediaReader& reader);

}  // namespace salvora

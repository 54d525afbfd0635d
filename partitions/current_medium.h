// Making a disk the current medium: its partitions are read with the GUID
// partition table when sector 0 protects one, else with the PC table.
#pragma once

#include "partitions/partition_record.h"

namespace salvora {

class MediaReader;

// Gives `reader` the scheme its table is read with and returns its partition
// list: the GPT scheme when sector 0 holds a protective entry and a whole GPT
// copy is found, otherwise the PC scheme. When the list comes back empty (the
// first sector could not be read) the reader keeps the scheme it had before.
PartitionList selectCurrentMedium(MediaReader& reader);

}  // namespace salvora

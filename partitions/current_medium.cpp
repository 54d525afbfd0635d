#include "partitions/current_medium.h"

#include "media/media_reader.h"
#include "partitions/partition_scheme.h"

namespace salvora {

PartitionList selectCurrentMedium(MediaReader& reader) {
    const PartitionScheme* previous = reader.partitionScheme;
    reader.partitionScheme = &pcPartitionScheme();
    PartitionList list = reader.partitionScheme->readPartitionTable(reader);
    if (list.empty())
        reader.partitionScheme = previous;
    return list;
}

}  // namespace salvora

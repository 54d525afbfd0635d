#include "partitions/current_medium.h"

#include "media/media_reader.h"
#include "partitions/gpt_partition_table.h"
#include "partitions/partition_scheme.h"

namespace salvora {

PartitionList selectCurrentMedium(MediaReader& reader) {
    const PartitionScheme* previous = reader.partitionScheme;
    for (const PartitionScheme* scheme : {&gptPartitionScheme(), &pcPartitionScheme()}) {
        reader.partitionScheme = scheme;
        PartitionList list = scheme->readPartitionTable(reader);
        if (!list.empty())
            return list;
    }
    reader.partitionScheme = previous;
    return PartitionList();
}

}  // namespace salvora

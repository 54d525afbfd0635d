// Fuzz target: the partition table reader with its FAT and NTFS tests, on an
// in-memory medium built from the input. The input's bytes are laid at the
// start of the medium and, repeated, at the places where extended boot
// records and volume boot sectors usually stand, so chains and volumes are
// reached without a huge input.
#include <cstdint>
#include <cstring>
#include <vector>

#include "media/memory_reader.h"
#include "partitions/partition_scheme.h"

using namespace salvora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 512)
        return 0;
    const size_t mediumSize = 1 << 20;
    std::vector<uint8_t> bytes(mediumSize, 0);
    std::memcpy(bytes.data(), data, std::min(size, mediumSize));
    // Copies of the input's second half at a few sector-aligned places.
    const size_t half = size / 2;
    for (size_t at : {size_t(63 * 512), size_t(512 * 512), size_t(1024 * 512), size_t(1536 * 512)}) {
        if (at + (size - half) <= mediumSize)
            std::memcpy(bytes.data() + at, data + half, size - half);
    }
    MemoryReader medium(std::move(bytes), 512);
    const PartitionScheme& scheme = pcPartitionScheme();
    PartitionList list = scheme.readPartitionTable(medium);
    for (const PartitionRecord& record : list) {
        if (record.label.size() > 80 || record.fsName.size() > 80)
            __builtin_trap();
    }
    return 0;
}

// Fuzz target: the partition table reader with its FAT and NTFS tests, and
// the map of the files of every FAT volume found, on an in-memory medium
// built from the input. The input's bytes are laid at the
// start of the medium and, repeated, at the places where extended boot
// records and volume boot sectors usually stand, so chains and volumes are
// reached without a huge input.
#include <cstdint>
#include <cstring>
#include <vector>

#include "media/memory_reader.h"
#include "partitions/fat_directory.h"
#include "partitions/partition_scheme.h"

using namespace salvora;

namespace {

bool inside(const MediaReader& medium, const MediumRun& run) {
    return run.length != 0 && run.offset <= medium.size && run.length <= medium.size - run.offset;
}

// Every run of the map lies inside the medium, and no file's runs hold more than its size.
void checkFatMap(MemoryReader& medium, const PartitionRecord& record) {
    const std::optional<FatMap> map = mapFatVolume(medium, record);
    if (!map)
        return;
    for (const FatFile& file : map->files) {
        if (file.folder >= map->folders.size())
            __builtin_trap();
        uint64_t total = 0;
        for (const MediumRun& run : file.runs) {
            if (!inside(medium, run))
                __builtin_trap();
            total += run.length;
        }
        if (total > file.size)
            __builtin_trap();
        for (const FatPlacement& placement : file.candidates) {
            uint64_t placed = 0;
            for (const MediumRun& run : placement.runs) {
                if (!inside(medium, run))
                    __builtin_trap();
                placed += run.length;
            }
            if (placed > file.size || (placement.complete && placed != file.size))
                __builtin_trap();
        }
    }
}

}  // namespace

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
        checkFatMap(medium, record);
    }
    return 0;
}

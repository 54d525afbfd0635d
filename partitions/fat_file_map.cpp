#include "partitions/fat_file_map.h"

#include "media/media_reader.h"
#include "partitions/fat_volume.h"

namespace salvora {

namespace {

std::vector<ByteRun> byteRuns(const std::vector<MediumRun>& runs) {
    std::vector<ByteRun> converted;
    converted.reserve(runs.size());
    for (const MediumRun& run : runs)
        converted.push_back({run.offset, run.length});
    return converted;
}

}  // namespace

FileMap fileMapOf(const FatMap& map) {
    FileMap files;
    files.setGrain(map.clusterBytes);
    for (const FatFile& file : map.files) {
        if (file.state == FatFileState::kLive) {
            for (const MediumRun& run : file.runs)
                files.addLiveRun(run.offset, run.length);
            files.add({file.name, file.size, byteRuns(file.runs), false, true});
        } else if (file.state == FatFileState::kDeleted) {
            for (const FatPlacement& placement : file.candidates)
                files.add({file.name, file.size, byteRuns(placement.runs), true, placement.complete});
        }
    }
    return files;
}

std::optional<FileMap> fatFileMapAt(MediaReader& reader, uint64_t offset, uint64_t length) {
    if (offset >= reader.size)
        return std::nullopt;
    PartitionRecord record;
    record.offset = offset;
    record.size = length != 0 ? length : reader.size - offset;
    if (probeFatPartition(reader, record) != 0 || record.fsKind == kFsNone)
        return std::nullopt;
    const std::optional<FatMap> map = mapFatVolume(reader, record);
    if (!map)
        return std::nullopt;
    return fileMapOf(*map);
}

}  // namespace salvora

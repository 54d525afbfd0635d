#include "carve/file_map.h"

#include <algorithm>

namespace salvora {

void FileMap::add(MappedFile file) {
    if (file.runs.empty())
        return;
    byStart_.emplace(file.runs.front().offset, files_.size());
    files_.push_back(std::move(file));
}

void FileMap::addLiveRun(uint64_t offset, uint64_t length) {
    if (length == 0)
        return;
    uint64_t& end = liveRuns_[offset];
    end = std::max(end, offset + length);
}

std::vector<const MappedFile*> FileMap::startingAt(uint64_t offset) const {
    std::vector<const MappedFile*> found;
    const auto [first, last] = byStart_.equal_range(offset);
    for (auto it = first; it != last; ++it)
        found.push_back(&files_[it->second]);
    return found;
}

bool FileMap::heldByLiveFile(uint64_t offset) const {
    auto after = liveRuns_.upper_bound(offset);
    if (after == liveRuns_.begin())
        return false;
    --after;
    return offset < after->second;
}

}  // namespace salvora

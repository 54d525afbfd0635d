#include "carve/search_space.h"

#include "media/media_reader.h"

namespace salvora {

void initFromPartition(SearchSpace& space, const MediaReader& medium, uint64_t offset, uint64_t length) {
    if (medium.size == 0)
        return;
    SearchRange range;
    if (length != 0) {
        range.start = offset;
        range.end = offset + length - 1;
    } else {
        range.start = 0;
        range.end = medium.size - 1;
    }
    if (range.end > medium.size - 1)
        range.end = medium.size - 1;
    if (range.start > range.end)
        return;
    space.ranges.push_back(range);
}

void alignToGrid(uint32_t blockSize, SearchSpace& space, uint64_t phase) {
    const uint64_t p = phase % blockSize;
    for (auto range = space.ranges.begin(); range != space.ranges.end();) {
        range->start = (range->start - p + blockSize - 1) / blockSize * blockSize + p;
        if (range->start > range->end) {
            range = space.ranges.erase(range);
        } else {
            ++range;
        }
    }
}

RangeRef markFileStart(SearchSpace& space, RangeRef range, uint64_t offset, FamilyTally* tally) {
    if (range == space.head())
        return range;
    if (offset == range->start) {
        range->fileStart = tally;
        return range;
    }
    if (offset < range->start || offset > range->end)
        return range;
    SearchRange tail{offset, range->end, tally, range->dataFlag};
    range->end = offset - 1;
    return space.ranges.insert(std::next(range), tail);
}

RangeRef markBlock(SearchSpace& space, RangeRef range, uint64_t offset, uint32_t dataFlag) {
    if (range == space.head())
        return range;
    if (offset < range->start || offset > range->end)
        return range;
    if (offset == range->start) {
        range->dataFlag = dataFlag;
        return range;
    }
    if (range->dataFlag == dataFlag)
        return range;
    SearchRange tail{offset, range->end, nullptr, dataFlag};
    range->end = offset - 1;
    return space.ranges.insert(std::next(range), tail);
}

RangeRef consumeFile(SearchSpace& space, const CarveCandidate& candidate, uint32_t blockSize) {
    const uint64_t need = (candidate.size + blockSize - 1) / blockSize * blockSize;
    uint64_t taken = 0;
    RangeRef range = candidate.startRange;
    while (true) {
        if (range == space.head())
            return range;
        if (taken >= need)
            return range;
        if (!range->dataFlag) {
            range = space.ranges.erase(range);
            continue;
        }
        const uint64_t length = range->end - range->start + 1;
        if (taken + length <= need) {
            taken += length;
            range = space.ranges.erase(range);
            continue;
        }
        range->start += need - taken;
        range->fileStart = nullptr;
        range->dataFlag = 1;
        return range;
    }
}

void advance(SearchSpace& space, RangeRef& range, uint64_t& offset, uint32_t blockSize) {
    if (range == space.head())
        return;
    if (offset + blockSize <= range->end) {
        offset += blockSize;
        return;
    }
    ++range;
    if (range != space.head())
        offset = range->start;
}

void backToPreviousStart(SearchSpace& space, RangeRef& range, uint64_t& offset) {
    RangeRef at = range;
    for (int step = 0; step < 10; ++step) {
        if (at == space.ranges.begin())
            return;  // the previous one is the list head
        --at;
        if (at->fileStart) {
            range = at;
            offset = at->start;
            return;
        }
    }
}

uint32_t deriveBlockSize(const SearchSpace& space, uint32_t sectorSize, uint64_t& phase) {
    phase = 0;
    if (space.ranges.empty())
        return sectorSize;
    uint32_t size = 65536;
    phase = space.ranges.front().start % size;
    bool changed = true;
    while (changed) {
        changed = false;
        for (const SearchRange& range : space.ranges) {
            if (!range.fileStart || range.start % size == phase)
                continue;
            if (size > sectorSize) {
                size /= 2;
                phase = range.start % size;
                changed = true;
            }
        }
    }
    return size;
}

}  // namespace salvora

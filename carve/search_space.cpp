#include "carve/search_space.h"

#include <algorithm>

#include "media/media_reader.h"

namespace salvora {

namespace {
constexpr uint32_t kLargestBlock = 65536;
constexpr int kLookBack = 10;
}  // namespace

bool SearchSpace::add(const SearchRange& range) {
    if (range.start > range.end)
        return false;
    const auto after = std::find_if(ranges_.begin(), ranges_.end(),
                                    [&](const SearchRange& other) { return other.start > range.end; });
    if (after != ranges_.begin() && std::prev(after)->end >= range.start)
        return false;
    ranges_.insert(after, range);
    return true;
}

void SearchSpace::removeBytes(uint64_t first, uint64_t last) {
    if (first > last)
        return;
    for (auto range = ranges_.begin(); range != ranges_.end() && range->start <= last;) {
        if (range->end < first) {
            ++range;
        } else if (range->start >= first && range->end <= last) {
            range = ranges_.erase(range);
        } else if (range->start >= first) {
            range->start = last + 1;
            range->fileStart = nullptr;
            ++range;
        } else if (range->end <= last) {
            range->end = first - 1;
            ++range;
        } else {
            const SearchRange tail{last + 1, range->end, nullptr, range->dataFlag};
            range->end = first - 1;
            range = ranges_.insert(std::next(range), tail);
        }
    }
}

void SearchSpace::alignToGrid(uint32_t blockSize, uint64_t phase) {
    const uint64_t p = phase % blockSize;
    for (auto range = ranges_.begin(); range != ranges_.end();) {
        range->start = (range->start - p + blockSize - 1) / blockSize * blockSize + p;
        if (range->start > range->end) {
            range = ranges_.erase(range);
        } else {
            ++range;
        }
    }
}

RangeRef SearchSpace::markFileStart(RangeRef position, uint64_t offset, FamilyTally* tally) {
    if (position == head())
        return position;
    const auto range = changeable(position);
    if (offset == range->start) {
        range->fileStart = tally;
        return range;
    }
    if (offset < range->start || offset > range->end)
        return range;
    const SearchRange tail{offset, range->end, tally, range->dataFlag};
    range->end = offset - 1;
    return ranges_.insert(std::next(range), tail);
}

RangeRef SearchSpace::markBlock(RangeRef position, uint64_t offset, uint32_t dataFlag) {
    if (position == head())
        return position;
    const auto range = changeable(position);
    if (offset < range->start || offset > range->end)
        return range;
    if (offset == range->start) {
        range->dataFlag = dataFlag;
        return range;
    }
    if (range->dataFlag == dataFlag)
        return range;
    const SearchRange tail{offset, range->end, nullptr, dataFlag};
    range->end = offset - 1;
    return ranges_.insert(std::next(range), tail);
}

RangeRef SearchSpace::consumeFile(const CarveCandidate& candidate, uint32_t blockSize) {
    return consumeFile(candidate, candidate.size, blockSize);
}

RangeRef SearchSpace::consumeFile(const CarveCandidate& candidate, uint64_t length, uint32_t blockSize) {
    const uint64_t need = std::max<uint64_t>((length + blockSize - 1) / blockSize * blockSize, blockSize);
    uint64_t taken = 0;
    auto range = changeable(candidate.startRange);
    while (true) {
        if (range == ranges_.end())
            return range;
        if (taken >= need)
            return range;
        if (!range->dataFlag) {
            range = ranges_.erase(range);
            continue;
        }
        const uint64_t length = range->end - range->start + 1;
        if (taken + length <= need) {
            taken += length;
            range = ranges_.erase(range);
            continue;
        }
        range->start += need - taken;
        range->fileStart = nullptr;
        range->dataFlag = 1;
        return range;
    }
}

void SearchSpace::advance(RangeRef& range, uint64_t& offset, uint32_t blockSize) const {
    if (range == head())
        return;
    if (offset + blockSize <= range->end) {
        offset += blockSize;
        return;
    }
    ++range;
    if (range != head())
        offset = range->start;
}

void SearchSpace::backToPreviousStart(RangeRef& range, uint64_t& offset) const {
    RangeRef at = range;
    for (int step = 0; step < kLookBack; ++step) {
        if (at == ranges_.begin())
            return;  // the previous one is the list head
        --at;
        if (at->fileStart) {
            range = at;
            offset = at->start;
            return;
        }
    }
}

uint32_t SearchSpace::deriveBlockSize(uint64_t& phase) const {
    phase = 0;
    if (ranges_.empty())
        return sectorSize_;
    uint32_t size = kLargestBlock;
    phase = ranges_.front().start % size;
    bool changed = true;
    while (changed) {
        changed = false;
        for (const SearchRange& range : ranges_) {
            if (!range.fileStart || range.start % size == phase)
                continue;
            if (size > sectorSize_) {
                size /= 2;
                phase = range.start % size;
                changed = true;
            }
        }
    }
    return size;
}

void initFromPartition(SearchSpace& space, const MediaReader& medium, uint64_t offset, uint64_t length) {
    if (medium.size == 0)
        return;
    space.setSectorSize(medium.sectorSize);
    SearchRange range;
    if (length != 0) {
        range.start = offset;
        range.end = offset + length - 1;
    } else {
        range.start = 0;
        range.end = medium.size - 1;
    }
    range.end = std::min(range.end, medium.size - 1);
    space.add(range);
}

}  // namespace salvora

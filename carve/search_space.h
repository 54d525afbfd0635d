// The search space: the ordered byte ranges of the medium that may still hold
// files. The carve loop walks it block by block, marks file starts and data
// blocks in it, and takes out the blocks of every saved file.
#pragma once

#include <cstdint>
#include <list>

#include "carve/family.h"

namespace salvora {

class MediaReader;

struct SearchRange {
    uint64_t start = 0;                // first byte (absolute medium offset)
    uint64_t end = 0;                  // last byte, inclusive
    FamilyTally* fileStart = nullptr;  // family whose header was recognised at start
    uint32_t dataFlag = 0;             // 1 = blocks taken as data of a followed file
};

// Ranges in ascending, non-overlapping order. end() is the list head: the
// position after the last range, where a walk is over.
class SearchSpace {
  public:
    std::list<SearchRange> ranges;

    RangeRef head() { return ranges.end(); }
    bool empty() const { return ranges.empty(); }
    // Frees every range; the space is empty for the next scan.
    void clear() { ranges.clear(); }
};

// Appends the range of a partition: [offset, offset + length - 1], or the
// whole medium when length is 0, with its end lowered to the medium's last
// byte. A partition that lies wholly beyond the medium adds nothing.
void initFromPartition(SearchSpace& space, const MediaReader& medium, uint64_t offset, uint64_t length);

// Moves every range's start up to the next point of the block grid (points at
// phase + k * blockSize) and removes ranges left empty.
void alignToGrid(uint32_t blockSize, SearchSpace& space, uint64_t phase);

// Records that a file of `tally` starts at `offset`. Returns the range that
// now starts at offset, or `range` unchanged when offset lies outside it.
RangeRef markFileStart(SearchSpace& space, RangeRef range, uint64_t offset, FamilyTally* tally);

// Records how the block at `offset` was used. Returns the range now holding offset.
RangeRef markBlock(SearchSpace& space, RangeRef range, uint64_t offset, uint32_t dataFlag);

// Removes the blocks of a saved file, from its startRange on. Returns the
// range at which the scan may go on, or head().
RangeRef consumeFile(SearchSpace& space, const CarveCandidate& candidate, uint32_t blockSize);

// Steps the scan position by one block, to the next range when needed; the
// position becomes head() when the walk is over.
void advance(SearchSpace& space, RangeRef& range, uint64_t& offset, uint32_t blockSize);

// Moves the position back to the nearest earlier range with a file-start mark
// within 10 ranges; unchanged when there is none.
void backToPreviousStart(SearchSpace& space, RangeRef& range, uint64_t& offset);

// Block size and grid phase from the marked file starts: starting from 65536,
// halved (not below sectorSize) until every mark lies on the grid.
uint32_t deriveBlockSize(const SearchSpace& space, uint32_t sectorSize, uint64_t& phase);

}  // namespace salvora

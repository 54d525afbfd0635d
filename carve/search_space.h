// The search space: the byte ranges of the medium that may still hold files.
// The carve loop walks it block by block, marks file starts and data blocks
// in it, and takes out the blocks of every saved file.
#pragma once

#include <cstdint>
#include <list>

#include "carve/family.h"
#include "media/sector_size.h"

namespace salvora {

class MediaReader;

struct SearchRange {
    uint64_t start = 0;                // first byte (absolute medium offset)
    uint64_t end = 0;                  // last byte, inclusive
    FamilyTally* fileStart = nullptr;  // family whose header was recognised at start
    uint32_t dataFlag = 0;             // 1 = blocks taken as data of a followed file
};

// Ranges in ascending order that never overlap, and the sector size of the
// medium they lie on (never 0). Every mutator keeps both. end() (also named
// head()) is the position after the last range, where a walk is over.
class SearchSpace {
  public:
    explicit SearchSpace(SectorSize sectorSize = SectorSize()) : sectorSize_(sectorSize) {}

    SectorSize sectorSize() const { return sectorSize_; }
    void setSectorSize(SectorSize sectorSize) { sectorSize_ = sectorSize; }

    RangeRef begin() const { return ranges_.begin(); }
    RangeRef end() const { return ranges_.end(); }
    RangeRef head() const { return ranges_.end(); }
    bool empty() const { return ranges_.empty(); }
    size_t size() const { return ranges_.size(); }
    // The first and the last range; the space must not be empty.
    const SearchRange& front() const { return ranges_.front(); }
    const SearchRange& back() const { return ranges_.back(); }

    // Adds `range` (with its marks) in its place. Refused, returning false,
    // when it is empty (start > end) or overlaps a range of the space.
    bool add(const SearchRange& range);
    // Takes the bytes [first, last] out of the space: ranges inside go, ranges
    // across a bound are shortened, a range around them is split in two. A
    // range that loses its first byte loses its file-start mark; a split-off
    // tail keeps the data flag. Nothing happens when first > last.
    void removeBytes(uint64_t first, uint64_t last);
    // Frees every range; the space is empty for the next scan.
    void clear() { ranges_.clear(); }

    // Moves every range's start up to the next point of the block grid
    // (points at phase + k * blockSize) and removes ranges left empty.
    void alignToGrid(uint32_t blockSize, uint64_t phase);

    // Records that a file of `tally` starts at `offset`. Returns the range
    // that now starts at offset, or `range` unchanged when offset lies outside it.
    RangeRef markFileStart(RangeRef range, uint64_t offset, FamilyTally* tally);

    // Records how the block at `offset` was used. Returns the range now holding offset.
    RangeRef markBlock(RangeRef range, uint64_t offset, uint32_t dataFlag);

    // Removes the blocks of a saved file, from its startRange on. Returns the
    // range at which the scan may go on, or head().
    RangeRef consumeFile(const CarveCandidate& candidate, uint32_t blockSize);
    // The same for the first `length` bytes of the file only (at least one
    // block): the blocks after them stay to be searched.
    RangeRef consumeFile(const CarveCandidate& candidate, uint64_t length, uint32_t blockSize);

    // Steps the scan position by one block, to the next range when needed;
    // the position becomes head() when the walk is over.
    void advance(RangeRef& range, uint64_t& offset, uint32_t blockSize) const;

    // Moves the position back to the nearest earlier range with a file-start
    // mark within 10 ranges; unchanged when there is none.
    void backToPreviousStart(RangeRef& range, uint64_t& offset) const;

    // Block size and grid phase from the marked file starts: starting from
    // 65536, halved (not below the sector size) until every mark lies on the
    // grid. The sector size when the space is empty.
    uint32_t deriveBlockSize(uint64_t& phase) const;

  private:
    using Ranges = std::list<SearchRange>;
    // The changeable form of a position of this space.
    Ranges::iterator changeable(RangeRef range) { return ranges_.erase(range, range); }

    Ranges ranges_;
    SectorSize sectorSize_;
};

// Adds the range of a partition, [offset, offset + length - 1], or the whole
// medium when length is 0, with its end lowered to the medium's last byte,
// and takes the medium's sector size. A partition that lies wholly beyond
// the medium, or one that overlaps the space, adds nothing.
void initFromPartition(SearchSpace& space, const MediaReader& medium, uint64_t offset, uint64_t length);

}  // namespace salvora

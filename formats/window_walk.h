// The window walk of the block checks that follow a file structure by
// structure (frames, packets, units).
//
// A block check sees the previous and the current block: W = windowLength
// bytes, H = W / 2, and the current block starts at file offset
// candidate.size. The byte at file offset p lies at window index
// p - size + H. `expectedSize` points at the next structure; it can be judged
// while its start and the k header bytes after it lie in the window.
#pragma once

#include <algorithm>
#include <cstdint>

#include "carve/family.h"

namespace salvora {

class WindowWalk {
  public:
    explicit WindowWalk(uint32_t windowLength) : half_(windowLength / 2) {}

    // True while the structure at expectedSize and k bytes after it lie in the window.
    bool holds(const CarveCandidate& candidate, uint64_t k) const {
        return candidate.expectedSize + half_ >= candidate.size &&
               candidate.expectedSize + k < candidate.size + half_;
    }
    // Window index of the structure at expectedSize (valid while holds()).
    uint64_t index(const CarveCandidate& candidate) const {
        return candidate.expectedSize - candidate.size + half_;
    }
    // True while the k bytes at file offset `at` lie whole in the window.
    bool holdsAt(const CarveCandidate& candidate, uint64_t at, uint64_t k) const {
        return at + half_ >= candidate.size && at + k <= candidate.size + half_;
    }
    // Window index of file offset `at` (valid while holdsAt(at, 0)).
    uint64_t indexAt(const CarveCandidate& candidate, uint64_t at) const {
        return at - candidate.size + half_;
    }
    // File offset just past the window: the end of the current block.
    uint64_t end(const CarveCandidate& candidate) const { return candidate.size + half_; }
    // The part of the file range [from, to) that the window holds from `from`
    // on: its window index and length (length 0 when it holds none).
    struct Span {
        uint64_t index = 0;
        uint64_t length = 0;
    };
    Span spanOf(const CarveCandidate& candidate, uint64_t from, uint64_t to) const {
        const uint64_t stop = std::min(to, end(candidate));
        if (from >= stop || from + half_ < candidate.size)
            return {};
        return {indexAt(candidate, from), stop - from};
    }
    // True when the structure at expectedSize lies in the current (newer) block.
    static bool inCurrentBlock(const CarveCandidate& candidate) {
        return candidate.expectedSize >= candidate.size;
    }

  private:
    uint64_t half_;
};

}  // namespace salvora

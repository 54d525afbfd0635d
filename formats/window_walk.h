// The window walk of the block checks that follow a file structure by
// structure (frames, packets, units).
//
// A block check sees the previous and the current block: W = windowLength
// bytes, H = W / 2, and the current block starts at file offset
// candidate.size. The byte at file offset p lies at window index
// p - size + H. `expectedSize` points at the next structure; it can be judged
// while its start and the k header bytes after it lie in the window.
#pragma once

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
    // True when the structure at expectedSize lies in the current (newer) block.
    static bool inCurrentBlock(const CarveCandidate& candidate) {
        return candidate.expectedSize >= candidate.size;
    }

  private:
    uint64_t half_;
};

}  // namespace salvora

// The window walk of the block checks that follow a file structure by
// structure (markers, atoms, records, frames, packets).
//
// A block check sees the previous and the current block: W = windowLength
// bytes, H = W / 2, and the current block starts at file offset
// candidate.size, so the window holds the file offsets [size - H, size + H)
// and the byte at file offset p lies at window index p - size + H. A
// structure at file offset p can be judged while its start and the k header
// bytes after it lie in the window. Every block check that walks structures
// does this arithmetic here and nowhere else.
#pragma once

#include <cstdint>

#include "carve/family.h"
#include "media/bytes.h"

namespace salvora {

class WindowWalk {
  public:
    // The window of a block check on `candidate` (its size as the engine passes it).
    WindowWalk(const uint8_t* window, uint32_t windowLength, const CarveCandidate& candidate)
        : bytes_(window, windowLength), half_(windowLength / 2), size_(candidate.size) {}
    // The arithmetic alone, for checks that compute on candidate.expectedSize.
    explicit WindowWalk(uint32_t windowLength) : half_(windowLength / 2) {}

    // True while the structure at file offset `at` and k bytes after it lie
    // in the window of a check made at file size `size`.
    static bool holds(uint64_t at, uint64_t k, uint64_t size, uint64_t half) {
        return at + half >= size && at + k < size + half;
    }
    // The same for the structure at file offset `at` in this window.
    bool holds(uint64_t at, uint64_t k) const { return holds(at, k, size_, half_); }
    // The same for the structure at candidate.expectedSize.
    bool holds(const CarveCandidate& candidate, uint64_t k) const {
        return holds(candidate.expectedSize, k, candidate.size, half_);
    }
    // Window index of file offset `at` (valid while it lies in the window).
    uint64_t index(uint64_t at) const { return at - size_ + half_; }
    // Window index of the structure at candidate.expectedSize.
    uint64_t index(const CarveCandidate& candidate) const {
        return candidate.expectedSize - candidate.size + half_;
    }
    // The file offset just past the window.
    uint64_t end() const { return size_ + half_; }
    // True when file offset `at` lies before the window.
    bool before(uint64_t at) const { return at + half_ < size_; }
    // The window's bytes, read with the bounds-checked helpers.
    const Bytes& bytes() const { return bytes_; }
    uint64_t half() const { return half_; }

    // True when the structure at expectedSize lies in the current (newer) block.
    static bool inCurrentBlock(const CarveCandidate& candidate) {
        return candidate.expectedSize >= candidate.size;
    }

  private:
    Bytes bytes_;
    uint64_t half_ = 0;
    uint64_t size_ = 0;
};

}  // namespace salvora

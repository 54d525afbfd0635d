// Which AC coefficients of each block a progressive JPEG's earlier scans made
// non-zero: refinement scans read a correction bit for exactly those. Kept in
// chunks shared between copies until one of them writes (copy on write), so
// copying a validator to try other data costs little, and a chunk is made
// only when a block in it gets its first non-zero coefficient.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/jpeg_frame.h"

namespace salvora {

class CoefficientHistory {
  public:
    // Sizes the history for the blocks of each component of `frame`, all zero.
    void reset(const JpegFrame& frame);

    // Bit k set: coefficient k of the block is non-zero.
    uint64_t mask(int component, uint64_t block) const {
        const Chunk* chunk = chunks_[component][block / kChunkBlocks].get();
        return chunk ? (*chunk)[block % kChunkBlocks] : 0;
    }
    void setMask(int component, uint64_t block, uint64_t mask);

  private:
    static constexpr uint64_t kChunkBlocks = 1024;
    using Chunk = std::array<uint64_t, kChunkBlocks>;
    std::array<std::vector<std::shared_ptr<Chunk>>, 4> chunks_;
};

}  // namespace salvora

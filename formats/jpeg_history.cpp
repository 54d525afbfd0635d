#include "formats/jpeg_history.h"

namespace salvora {

void CoefficientHistory::reset(const JpegFrame& frame) {
    for (int i = 0; i < 4; ++i) {
        chunks_[i].clear();
        if (i < frame.componentCount) {
            const JpegComponent& component = frame.components[i];
            const uint64_t blocks = uint64_t{component.blocksWide} * component.blocksHigh;
            chunks_[i].resize((blocks + kChunkBlocks - 1) / kChunkBlocks);
        }
    }
}

void CoefficientHistory::setMask(int component, uint64_t block, uint64_t mask) {
    std::shared_ptr<Chunk>& chunk = chunks_[component][block / kChunkBlocks];
    if (!chunk) {
        if (mask == 0)
            return;
        chunk = std::make_shared<Chunk>();
    } else if (chunk.use_count() > 1) {
        chunk = std::make_shared<Chunk>(*chunk);
    }
    (*chunk)[block % kChunkBlocks] = mask;
}

}  // namespace salvora

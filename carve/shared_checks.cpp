#include "carve/shared_checks.h"

#include <cstring>
#include <memory>

namespace salvora {

namespace {
constexpr uint32_t kChunk = 4096;
}

BlockVerdict blockCheckUntilExpected(const uint8_t*, uint32_t, CarveCandidate& candidate) {
    if (candidate.size < candidate.expectedSize)
        return BlockVerdict::kContinue;
    candidate.size = candidate.expectedSize;
    return BlockVerdict::kFileEnds;
}

void endCheckTruncateToExpected(CarveCandidate& candidate) {
    candidate.size = candidate.size < candidate.expectedSize ? 0 : candidate.expectedSize;
}

void endCheckFindLastFooter(CarveCandidate& candidate, const uint8_t* footer, uint32_t footerLength) {
    if (footerLength == 0 || !candidate.output.isOpen())
        return;
    // The head holds one chunk; the tail keeps the first footerLength - 1
    // bytes of the chunk after it, so a footer across two chunks is found.
    const auto storage = std::make_unique_for_overwrite<uint8_t[]>(kChunk + footerLength - 1);
    uint8_t* const buffer = storage.get();
    std::memset(buffer + kChunk, 0, footerLength - 1);
    uint64_t position = candidate.size;
    do {
        position = position % kChunk != 0 ? position - position % kChunk : position - kChunk;
        const size_t got = candidate.output.readAt(position, buffer, kChunk);
        if (got < kChunk)
            std::memset(buffer + got, 0, kChunk - got);
        for (size_t i = got; i-- > 0;) {
            if (buffer[i] == footer[0] && std::memcmp(buffer + i, footer, footerLength) == 0) {
                const uint64_t end = position + i + footerLength;
                // A match that runs into bytes beyond the file's size is not in the file.
                if (end <= candidate.size) {
                    candidate.size = end;
                    return;
                }
            }
        }
        std::memmove(buffer + kChunk, buffer, footerLength - 1);
    } while (position > 0);
    candidate.size = 0;
}

void endCheckAbsorbLineEnd(CarveCandidate& candidate, uint32_t flags) {
    if (!candidate.output.isOpen())
        return;
    uint8_t bytes[2];
    const size_t got = candidate.output.readAt(candidate.size, bytes, sizeof bytes);
    if (got >= 1 && bytes[0] == '\n' && (flags & 1)) {
        candidate.size += 1;
    } else if (got >= 2 && bytes[0] == '\r' && bytes[1] == '\n' && (flags & 2)) {
        candidate.size += 2;
    } else if (got >= 1 && bytes[0] == '\r' && (flags & 4)) {
        candidate.size += 1;
    }
}

}  // namespace salvora

// Drives a recogniser and the checks it installs the way the carve loop does,
// without a medium: the recogniser sees a window of exactly the given length,
// each block check sees a separate buffer of exactly two blocks, and the end
// check reads the written data held in memory. Windows are heap buffers of their exact
// length, so a read past one is caught by the address sanitizer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "carve/family.h"
#include "support/written_output.h"

namespace salvora::test {

constexpr uint32_t kWindow = 65536;

// `bytes` cut or padded with zeros to `length`.
inline std::vector<uint8_t> windowOf(const std::vector<uint8_t>& bytes, size_t length = kWindow) {
    std::vector<uint8_t> window(bytes.begin(),
                                bytes.begin() + static_cast<std::ptrdiff_t>(std::min(length, bytes.size())));
    window.resize(length, 0);
    return window;
}

inline uint32_t recogniseWindow(RecogniseFn recognise, const std::vector<uint8_t>& bytes,
                                CarveCandidate& fresh, const CarveCandidate& current = CarveCandidate{}) {
    const std::vector<uint8_t> window = windowOf(bytes);
    return recognise(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh);
}

struct Followed {
    uint32_t blocks = 0;           // blocks appended
    bool ended = false;            // a block check returned 2
    bool expectedWrapped = false;  // expectedSize went down during a walk
};

// Appends `media` (the file and whatever follows it on the medium) block by
// block from its first byte, running the candidate's block check after each
// block, until a check returns 2 or clears itself, `maxBlocks` are taken, or
// the media run out. The candidate's size grows as the engine grows it.
inline Followed follow(CarveCandidate& candidate, const std::vector<uint8_t>& media, uint32_t blockSize,
                       uint32_t maxBlocks = 1u << 20) {
    Followed result;
    std::vector<uint8_t> window(2 * size_t{blockSize}, 0);
    for (uint64_t at = 0; at < media.size() && result.blocks < maxBlocks; at += blockSize) {
        std::vector<uint8_t> next(2 * size_t{blockSize}, 0);
        std::copy(window.begin() + blockSize, window.end(), next.begin());
        const size_t length = std::min<uint64_t>(blockSize, media.size() - at);
        std::copy(media.begin() + static_cast<std::ptrdiff_t>(at),
                  media.begin() + static_cast<std::ptrdiff_t>(at + length), next.begin() + blockSize);
        window.swap(next);
        ++result.blocks;
        BlockVerdict verdict = BlockVerdict::kContinue;
        if (candidate.blockCheck) {
            const uint64_t before = candidate.expectedSize;
            verdict = candidate.blockCheck(window.data(), static_cast<uint32_t>(window.size()), candidate);
            if (candidate.blockCheck && candidate.expectedSize < before && before != 0)
                result.expectedWrapped = true;
        }
        candidate.size += blockSize;
        if (verdict == BlockVerdict::kFileEnds) {
            result.ended = true;
            break;
        }
    }
    return result;
}

// What a recovery writes of `media` (a file and what lies after it), and
// the size the end check then settles: the file is recognised at its first
// byte and followed block by block over all of `media`, each block written
// as the engine writes it (nothing past the candidate's writeUntil), then
// its end check runs on what was written.
struct Written {
    uint64_t bytes = 0;    // written to the output
    uint64_t settled = 0;  // the size the end check settled (0 = dropped)
};

inline Written followWriting(RecogniseFn recognise, const std::vector<uint8_t>& media, uint32_t blockSize) {
    Written result;
    CarveCandidate candidate;
    if (!recogniseWindow(recognise, media, candidate))
        return result;
    candidate.output = OutputFile::inMemory();
    std::vector<uint8_t> window(2 * size_t{blockSize}, 0);
    for (uint64_t at = 0; at + blockSize <= media.size(); at += blockSize) {
        std::copy(window.begin() + blockSize, window.end(), window.begin());
        std::copy(media.begin() + static_cast<std::ptrdiff_t>(at),
                  media.begin() + static_cast<std::ptrdiff_t>(at + blockSize), window.begin() + blockSize);
        uint64_t length = blockSize;
        if (candidate.writeUntil != 0)
            length = candidate.writeUntil > candidate.size
                         ? std::min(length, candidate.writeUntil - candidate.size)
                         : 0;
        candidate.output.append(media.data() + at, static_cast<size_t>(length));
        if (candidate.blockCheck && candidate.blockCheck(window.data(), static_cast<uint32_t>(window.size()),
                                                         candidate) == BlockVerdict::kFileEnds) {
            candidate.size += blockSize;
            break;
        }
        candidate.size += blockSize;
    }
    result.bytes = candidate.output.size();
    if (candidate.endCheck)
        candidate.endCheck(candidate);
    result.settled = candidate.size;
    return result;
}

// Runs the candidate's end check with an output that holds `written` (what
// the engine would have written: whole blocks), kept in memory as the engine
// keeps a file of a few mebibytes. Leaves size as the check settles it.
inline void runEndCheck(CarveCandidate& candidate, const std::vector<uint8_t>& written) {
    if (!candidate.endCheck)
        return;
    candidate.output = outputHolding(written, Held::kInMemory);
    candidate.endCheck(candidate);
    candidate.output = OutputFile();
}

// Recognises `media` at its first byte, follows it and runs the end check as
// a recovery would; returns the final size (0 = dropped), or -1 when the
// recogniser refuses.
inline int64_t carve(RecogniseFn recognise, const std::vector<uint8_t>& media, uint32_t blockSize) {
    CarveCandidate candidate;
    if (!recogniseWindow(recognise, media, candidate))
        return -1;
    const Followed followed = follow(candidate, media, blockSize);
    const uint64_t written = std::min<uint64_t>(uint64_t{followed.blocks} * blockSize, media.size());
    std::vector<uint8_t> output(media.begin(), media.begin() + static_cast<std::ptrdiff_t>(written));
    output.resize(uint64_t{followed.blocks} * blockSize, 0);
    runEndCheck(candidate, output);
    if (candidate.size > 0 && candidate.size < candidate.minSize)
        return 0;
    return static_cast<int64_t>(std::min<uint64_t>(candidate.size, output.size()));
}

}  // namespace salvora::test

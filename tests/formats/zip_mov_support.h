// Helpers for the ZIP and movie recogniser tests: an output file holding
// written bytes, windows of exact length, and a feeder that hands a file to a
// block check block by block the way the carve loop does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "carve/family.h"
#include "support/test_files.h"
#include "support/written_output.h"

namespace salvora::test {

// A candidate whose output holds `bytes` in a file on disk, as the carve loop
// leaves a file that outgrew memory. The file is deleted with the object.
class WrittenCandidate {
  public:
    explicit WrittenCandidate(const std::vector<uint8_t>& bytes) {
        candidate.output = outputHolding(bytes, Held::kOnDisk);
        candidate.size = bytes.size();
    }
    WrittenCandidate(const WrittenCandidate&) = delete;
    WrittenCandidate& operator=(const WrittenCandidate&) = delete;

    CarveCandidate candidate;
};

// A window of exactly `length` bytes (an over-read shows under ASan) holding
// `bytes` at `at`, zeros elsewhere.
inline std::vector<uint8_t> windowWith(const std::vector<uint8_t>& bytes, size_t length = 65536,
                                       size_t at = 0) {
    std::vector<uint8_t> window(length, 0);
    const size_t count = at < length ? std::min(bytes.size(), length - at) : 0;
    if (count > 0)
        std::memcpy(window.data() + at, bytes.data(), count);
    return window;
}

// Hands `file` (padded with zeros to whole blocks) to the candidate's block
// check as the carve loop does: the window is the previous block followed by
// the current one, and size grows by a block after each check. Stops after a
// check ends the file or when the data ends. Returns the number of blocks handed.
inline size_t feedBlocks(const std::vector<uint8_t>& file, uint32_t blockSize, CarveCandidate& candidate) {
    std::vector<uint8_t> padded = file;
    padded.resize((file.size() + blockSize - 1) / blockSize * blockSize, 0);
    std::vector<uint8_t> window(2 * size_t{blockSize}, 0);
    size_t blocks = 0;
    for (size_t at = 0; at < padded.size(); at += blockSize) {
        std::memmove(window.data(), window.data() + blockSize, blockSize);
        std::memcpy(window.data() + blockSize, padded.data() + at, blockSize);
        ++blocks;
        BlockVerdict verdict = BlockVerdict::kContinue;
        if (candidate.blockCheck)
            verdict = candidate.blockCheck(window.data(), 2 * blockSize, candidate);
        candidate.size += blockSize;
        if (verdict == BlockVerdict::kFileEnds)
            break;
    }
    return blocks;
}

inline void putBe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}
inline void putLe16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}
inline void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void append(std::vector<uint8_t>& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}
inline void append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}

// What a recogniser made of a window that starts with `start`.
struct Recognised {
    bool accepted = false;
    CarveCandidate fresh;
};

inline Recognised recogniseWith(RecogniseFn recogniser, const std::vector<uint8_t>& start,
                                const CarveCandidate& current) {
    const std::vector<uint8_t> window = windowWith(start);
    Recognised result;
    result.accepted =
        recogniser(window.data(), static_cast<uint32_t>(window.size()), 0, current, result.fresh) != 0;
    return result;
}

// The extension chosen, or "(refused)".
inline std::string extensionOf(const Recognised& r) {
    return r.accepted && r.fresh.extension ? r.fresh.extension : "(refused)";
}

}  // namespace salvora::test

// Test helpers for recognisers and end checks: a recognition window built
// from a file's first bytes, and a candidate whose output is a temporary file
// holding given bytes, as the engine leaves it when it runs the end check.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "carve/family.h"
#include "support/test_files.h"

namespace salvora::test {

// The recognition window: `bytes` (cut to `length`), then zeros up to `length`.
inline std::vector<uint8_t> windowOf(const std::vector<uint8_t>& bytes, size_t length = 65536) {
    std::vector<uint8_t> window(length, 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), length), window.begin());
    return window;
}

class CandidateFile {
  public:
    explicit CandidateFile(const std::vector<uint8_t>& bytes, const char* extension = nullptr) {
        // Opened the way the engine opens a recovered file, in one folder for the whole test run.
        static TempDir folder;
        static unsigned number = 0;
        path_ = folder.path() / ("output" + std::to_string(number++));
        file_ = std::fopen(path_.string().c_str(), "w+b");
        if (!file_)
            throw std::runtime_error("cannot create a temporary file");
        if (!bytes.empty() && std::fwrite(bytes.data(), bytes.size(), 1, file_) != 1) {
            std::fclose(file_);
            throw std::runtime_error("cannot write a temporary file");
        }
        candidate_.output = file_;
        candidate_.size = bytes.size();
        candidate_.extension = extension;
    }
    ~CandidateFile() {
        std::fclose(file_);
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    CandidateFile(const CandidateFile&) = delete;
    CandidateFile& operator=(const CandidateFile&) = delete;

    CarveCandidate& candidate() { return candidate_; }
    std::FILE* file() const { return file_; }

  private:
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    CarveCandidate candidate_;
};

// Runs `endCheck` on a candidate holding `bytes`; returns the settled candidate.
template <typename EndCheck>
CarveCandidate endCheckOn(const std::vector<uint8_t>& bytes, EndCheck endCheck,
                          const char* extension = nullptr) {
    CandidateFile file(bytes, extension);
    endCheck(file.candidate());
    CarveCandidate settled = file.candidate();
    settled.output = nullptr;
    return settled;
}

}  // namespace salvora::test

// Test helpers for recognisers and end checks: a recognition window built
// from a file's first bytes, and a candidate whose output is a temporary file
// holding given bytes, as the engine leaves it when it runs the end check.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "carve/family.h"
#include "formats/candidate_driver.h"
#include "support/test_files.h"
#include "support/written_output.h"

namespace salvora::test {

class CandidateFile {
  public:
    // The output is a file on disk, written the way the engine writes a
    // recovered file that outgrew memory, and read back from there.
    explicit CandidateFile(const std::vector<uint8_t>& bytes, const char* extension = nullptr) {
        candidate_.output = outputHolding(bytes, Held::kOnDisk);
        candidate_.size = bytes.size();
        candidate_.extension = extension;
    }
    CandidateFile(const CandidateFile&) = delete;
    CandidateFile& operator=(const CandidateFile&) = delete;

    CarveCandidate& candidate() { return candidate_; }
    OutputFile& file() { return candidate_.output; }

  private:
    CarveCandidate candidate_;
};

// Runs `endCheck` on a candidate holding `bytes`; returns the settled candidate.
template <typename EndCheck>
CarveCandidate endCheckOn(const std::vector<uint8_t>& bytes, EndCheck endCheck,
                          const char* extension = nullptr) {
    CandidateFile file(bytes, extension);
    endCheck(file.candidate());
    CarveCandidate settled = std::move(file.candidate());
    settled.output = OutputFile();
    return settled;
}

}  // namespace salvora::test

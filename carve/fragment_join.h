// Files whose data can be judged sound or broken by decoding it (a JPEG's
// entropy-coded data), and the search for the second fragment of one that
// breaks. The engine asks a joiner through this interface only; the formats
// supply it.
#pragma once

#include <cstdint>
#include <vector>

#include "carve/family.h"
#include "carve/recovered_output.h"

namespace salvora {

class FileMap;
class MediaReader;

// What a joiner says about a file.
enum class JoinOutcome {
    kNotJudged,  // the joiner does not judge this file (other family, unsupported coding)
    kSound,      // the data decodes to its end as it lies
    kJoined,     // the data breaks, and `runs` hold a join that decodes to its end
    kBroken,     // the data breaks and no join was found: what there is is partial
};

struct JoinResult {
    JoinOutcome outcome = JoinOutcome::kNotJudged;
    std::vector<ByteRun> runs;  // kJoined: the pieces on the medium, in file order, up to the file's end
};

// Where a join may look for a continuation.
struct JoinSpace {
    uint64_t grain = 512;          // fragments end and start on multiples of this (from the medium's start)
    const FileMap* map = nullptr;  // bytes of listed files are never a continuation (may be null)
    uint32_t candidates = 4096;    // continuations tried after the first fragment's end
};

class FragmentJoiner {
  public:
    virtual ~FragmentJoiner() = default;
    // True when files of `family` can be judged.
    virtual bool judges(const FileFamily& family) const = 0;
    // True when the contiguous carve of `candidate` (a file of a judged
    // family, at its close) shows a sign of a break: its own walk could not
    // follow it to its end. Judging decodes the whole file, so a scan without
    // other reason to expect fragments judges only such files.
    virtual bool suspects(const CarveCandidate& candidate) const = 0;
    // Judges a file that starts at `startOffset` on `medium`, whose first
    // `written` bytes the contiguous carve wrote into `output`; searches a
    // continuation when the data breaks.
    virtual JoinResult judge(OutputFile& output, uint64_t written, uint64_t startOffset, MediaReader& medium,
                             const JoinSpace& space) const = 0;
    // True when the bytes along `runs` on `medium` decode to the file's end
    // (or cannot be judged); false when they break.
    virtual bool soundAlong(MediaReader& medium, const std::vector<ByteRun>& runs) const = 0;
};

}  // namespace salvora

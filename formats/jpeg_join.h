// The joiner of JPEG files: judges a carved JPEG by decoding its
// entropy-coded data and, when the data breaks, searches the continuation of
// a file in two fragments: the first fragment ends on an allocation-unit
// boundary at or before the break, the second starts on one after it, and
// the join is kept only when it decodes to the end of image.
#pragma once

#include "carve/fragment_join.h"

namespace salvora {

class JpegJoiner : public FragmentJoiner {
  public:
    // Boundaries before the break tried as the first fragment's end.
    static constexpr int kBoundaries = 24;
    // Bytes of a continuation read at once.
    static constexpr size_t kPiece = 4096;
    // Largest file a join may give.
    static constexpr uint64_t kLargestFile = uint64_t{256} << 20;

    bool judges(const FileFamily& family) const override;
    // A photo whose marker walk did not reach its end-of-image marker.
    bool suspects(const CarveCandidate& candidate) const override;
    JoinResult judge(OutputFile& output, uint64_t written, uint64_t startOffset, MediaReader& medium,
                     const JoinSpace& space) const override;
    bool soundAlong(MediaReader& medium, const std::vector<ByteRun>& runs) const override;
};

}  // namespace salvora

// What salvora itself knows of the Expert Witness format: the signatures
// that tell an evidence file by its content, and the chain of sections of a
// segment file, which tells a truncated segment and a missing one apart.
// The media data is read through libewf (media/ewf_reader.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace salvora {

class MediaReader;

enum class EvidenceSignature {
    kNone,
    kEvf,   // "EVF\x09\x0d\x0a\xff\x00": a disk image, version 1 (.E01, .s01)
    kEvf2,  // "EVF2\x0d\x0a\x81\x00": a disk image, version 2 (.Ex01)
    kLvf,   // "LVF\x09\x0d\x0a\xff\x00": logical evidence, version 1 (.L01)
    kLef2,  // "LEF2\x0d\x0a\x81\x00": logical evidence, version 2 (.Lx01)
};

// Length of the signatures above.
constexpr size_t kEvidenceSignatureLength = 8;

// The signature the first bytes of a file carry (kNone when fewer than eight).
EvidenceSignature evidenceSignature(const uint8_t* head, size_t length);

// How the chain of sections of a version-1 segment file ends.
enum class SegmentEnd {
    kNext,       // with a "next" section: another segment follows
    kDone,       // with a "done" section: the last segment
    kTruncated,  // the file ends before the chain does
    kUnknown,    // not a version-1 segment, or a chain that loops back
};

struct SegmentCheck {
    uint16_t number = 0;  // segment number in the file header (1 for .E01)
    SegmentEnd end = SegmentEnd::kUnknown;
    uint64_t fileSize = 0;
    uint64_t neededSize = 0;  // for kTruncated: where the chain goes on to
};

// Walks the section descriptors of the version-1 segment file in `file`.
SegmentCheck checkSegment(MediaReader& file);

// Why the segment set `files` (in order, as found beside the first) cannot
// be read whole, in words naming the segment: a segment that is missing from
// the set or from its end, or one that is truncated. Empty when the chains of
// all segments are whole (or they are not version-1 segments).
std::string segmentSetProblem(const std::vector<std::string>& files);

}  // namespace salvora

#include "media/ewf_format.h"

#include <array>
#include <cstring>
#include <memory>

#include "media/bytes.h"
#include "media/image_names.h"
#include "media/image_reader.h"

namespace salvora {

namespace {

// Segment file header: signature (8 bytes), 0x01, segment number (16-bit
// little-endian), 0x0000. The first section descriptor follows it.
constexpr size_t kFileHeaderLength = 13;
constexpr size_t kSegmentNumberAt = 9;
// Section descriptor: type (16 bytes, zero-padded text), offset of the next
// descriptor in the file (64-bit little-endian), section size (64-bit),
// 40 bytes of padding, Adler-32 of the 72 bytes before it.
constexpr size_t kDescriptorLength = 76;
constexpr size_t kNextOffsetAt = 16;
// A chain longer than this is taken as looping.
constexpr int kMaximumSections = 1 << 20;

bool sectionIs(const Bytes& descriptor, const char* type) {
    const size_t length = std::strlen(type);
    return descriptor.equals(0, type, length) && descriptor.u8(length) == 0;
}

std::string fileNameOf(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string missingSegment(const std::string& previous, uint16_t number) {
    const std::string name = nextSegmentName(previous);
    if (!name.empty())
        return "the segment " + fileNameOf(name) + " is missing";
    return "segment " + std::to_string(number) + " of the set is missing";
}

}  // namespace

EvidenceSignature evidenceSignature(const uint8_t* head, size_t length) {
    const Bytes bytes(head, length);
    if (bytes.equals(0, "EVF\x09\x0d\x0a\xff\x00", kEvidenceSignatureLength))
        return EvidenceSignature::kEvf;
    if (bytes.equals(0, "EVF2\x0d\x0a\x81\x00", kEvidenceSignatureLength))
        return EvidenceSignature::kEvf2;
    if (bytes.equals(0, "LVF\x09\x0d\x0a\xff\x00", kEvidenceSignatureLength))
        return EvidenceSignature::kLvf;
    if (bytes.equals(0, "LEF2\x0d\x0a\x81\x00", kEvidenceSignatureLength))
        return EvidenceSignature::kLef2;
    return EvidenceSignature::kNone;
}

SegmentCheck checkSegment(MediaReader& file) {
    SegmentCheck check;
    check.fileSize = file.size;
    std::array<uint8_t, kDescriptorLength> buffer{};
    if (file.readAt(buffer.data(), kFileHeaderLength, 0) != static_cast<int32_t>(kFileHeaderLength) ||
        evidenceSignature(buffer.data(), kFileHeaderLength) != EvidenceSignature::kEvf) {
        return check;
    }
    check.number = Bytes(buffer.data(), kFileHeaderLength).le16(kSegmentNumberAt);
    uint64_t at = kFileHeaderLength;
    for (int sections = 0; sections < kMaximumSections; ++sections) {
        if (at + kDescriptorLength > file.size) {
            check.end = SegmentEnd::kTruncated;
            check.neededSize = at + kDescriptorLength;
            return check;
        }
        if (file.readAt(buffer.data(), kDescriptorLength, at) != static_cast<int32_t>(kDescriptorLength))
            return check;
        const Bytes descriptor(buffer.data(), buffer.size());
        if (sectionIs(descriptor, "next") || sectionIs(descriptor, "done")) {
            check.end = sectionIs(descriptor, "done") ? SegmentEnd::kDone : SegmentEnd::kNext;
            return check;
        }
        const uint64_t next = descriptor.le64(kNextOffsetAt);
        if (next <= at)
            return check;
        if (next > file.size) {
            check.end = SegmentEnd::kTruncated;
            check.neededSize = next;
            return check;
        }
        at = next;
    }
    return check;
}

std::string segmentSetProblem(const std::vector<std::string>& files) {
    for (size_t i = 0; i < files.size(); ++i) {
        std::string whyNot;
        const std::unique_ptr<MediaReader> file = openRawImage(files[i], whyNot);
        if (!file)
            return whyNot;
        const SegmentCheck check = checkSegment(*file);
        if (check.end == SegmentEnd::kUnknown)
            return {};
        const auto expected = static_cast<uint16_t>(i + 1);
        if (check.number != expected) {
            return i == 0 ? "the first segment of the set is missing (" + fileNameOf(files[0]) +
                                " is segment " + std::to_string(check.number) + ")"
                          : missingSegment(files[i - 1], expected);
        }
        if (check.end == SegmentEnd::kTruncated) {
            return "the segment " + fileNameOf(files[i]) + " is truncated: it has " +
                   std::to_string(check.fileSize) + " bytes, its sections go on to byte " +
                   std::to_string(check.neededSize);
        }
        if (i + 1 == files.size() && check.end == SegmentEnd::kNext)
            return missingSegment(files[i], static_cast<uint16_t>(i + 2));
    }
    return {};
}

}  // namespace salvora

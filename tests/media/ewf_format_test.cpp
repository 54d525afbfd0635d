// What salvora reads of the Expert Witness format itself: the signatures and
// the section chain of version-1 segment files, which name a missing or a
// truncated segment. The segments here are laid out by the test from the
// format's description: a 13-byte file header (signature, 0x01, segment
// number as 16-bit little-endian, 0x0000), then sections, each a 76-byte
// descriptor (type text in 16 bytes, 64-bit offset of the next descriptor,
// 64-bit section size, 40 bytes padding, 32-bit checksum) and its data.
#include "media/ewf_format.h"

#include <gtest/gtest.h>

#include "media/memory_reader.h"
#include "support/test_files.h"

namespace salvora {
namespace {

struct Section {
    std::string type;
    size_t dataLength;
};

void putLe(std::vector<uint8_t>& bytes, size_t at, uint64_t value, size_t length) {
    for (size_t i = 0; i < length; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A segment file with `sections` followed by a final "next" or "done".
std::vector<uint8_t> segment(uint16_t number, const std::vector<Section>& sections, const std::string& last) {
    std::vector<uint8_t> bytes = {'E', 'V', 'F', 0x09, 0x0d, 0x0a, 0xff, 0x00, 0x01, 0, 0, 0, 0};
    putLe(bytes, 9, number, 2);
    auto descriptor = [&](const std::string& type, size_t dataLength) {
        const size_t at = bytes.size();
        bytes.resize(at + 76 + dataLength, 0x5a);
        std::fill(bytes.begin() + at, bytes.begin() + at + 76, 0);
        std::copy(type.begin(), type.end(), bytes.begin() + at);
        const size_t next = dataLength == 0 && (type == "next" || type == "done") ? at : at + 76 + dataLength;
        putLe(bytes, at + 16, next, 8);
        putLe(bytes, at + 24, dataLength == 0 ? 0 : 76 + dataLength, 8);
    };
    for (const Section& section : sections)
        descriptor(section.type, section.dataLength);
    descriptor(last, 0);
    return bytes;
}

const std::vector<Section> kFirstSections{
    {"header2", 166}, {"header", 80}, {"volume", 1052}, {"sectors", 65536}, {"table", 152}};

SegmentCheck check(const std::vector<uint8_t>& bytes) {
    MemoryReader file(bytes);
    return checkSegment(file);
}

TEST(EvidenceSignatures, TellTheFourKindsByTheirFirstEightBytes) {
    const uint8_t evf[] = {'E', 'V', 'F', 0x09, 0x0d, 0x0a, 0xff, 0x00, 0x01};
    const uint8_t evf2[] = {'E', 'V', 'F', '2', 0x0d, 0x0a, 0x81, 0x00};
    const uint8_t lvf[] = {'L', 'V', 'F', 0x09, 0x0d, 0x0a, 0xff, 0x00};
    const uint8_t lef2[] = {'L', 'E', 'F', '2', 0x0d, 0x0a, 0x81, 0x00};
    const uint8_t nearly[] = {'E', 'V', 'F', 0x09, 0x0d, 0x0a, 0xff, 0x01};
    EXPECT_EQ(evidenceSignature(evf, sizeof evf), EvidenceSignature::kEvf);
    EXPECT_EQ(evidenceSignature(evf2, sizeof evf2), EvidenceSignature::kEvf2);
    EXPECT_EQ(evidenceSignature(lvf, sizeof lvf), EvidenceSignature::kLvf);
    EXPECT_EQ(evidenceSignature(lef2, sizeof lef2), EvidenceSignature::kLef2);
    EXPECT_EQ(evidenceSignature(nearly, sizeof nearly), EvidenceSignature::kNone);
    EXPECT_EQ(evidenceSignature(evf, 7), EvidenceSignature::kNone) << "too short to tell";
}

TEST(SegmentChain, WholeSegmentsEndWithNextOrDone) {
    const SegmentCheck first = check(segment(1, kFirstSections, "next"));
    EXPECT_EQ(first.number, 1u);
    EXPECT_EQ(first.end, SegmentEnd::kNext);
    const SegmentCheck last = check(segment(7, {{"sectors", 4096}, {"table", 40}, {"hash", 36}}, "done"));
    EXPECT_EQ(last.number, 7u);
    EXPECT_EQ(last.end, SegmentEnd::kDone);
}

TEST(SegmentChain, TruncatedSegmentSaysWhereTheChainGoesOn) {
    std::vector<uint8_t> bytes = segment(1, kFirstSections, "done");
    // The sectors descriptor starts at 13 + (76 + 166) + (76 + 80) + (76 + 1052) = 1539;
    // the table descriptor after it at 1539 + 76 + 65536 = 67151.
    bytes.resize(40000);
    SegmentCheck cut = check(bytes);
    EXPECT_EQ(cut.end, SegmentEnd::kTruncated);
    EXPECT_EQ(cut.fileSize, 40000u);
    EXPECT_EQ(cut.neededSize, 67151u);
    // Cut inside a descriptor: the chain needs the whole descriptor.
    bytes.resize(1539 + 50);
    cut = check(bytes);
    EXPECT_EQ(cut.end, SegmentEnd::kTruncated);
    EXPECT_EQ(cut.neededSize, 1539u + 76);
}

TEST(SegmentChain, OtherFilesAndLoopingChainsAreUnknown) {
    EXPECT_EQ(check(std::vector<uint8_t>(4096, 0)).end, SegmentEnd::kUnknown);
    std::vector<uint8_t> looping = segment(1, {{"header", 10}}, "done");
    putLe(looping, 13 + 16, 13, 8);  // the header's next descriptor is itself
    EXPECT_EQ(check(looping).end, SegmentEnd::kUnknown);
}

class SegmentSet : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const auto path = dir.path() / name;
        test::writeFile(path, bytes);
        return path.string();
    }
    test::TempDir dir;
};

TEST_F(SegmentSet, WholeSetHasNoProblem) {
    const std::vector<std::string> files{write("case.E01", segment(1, kFirstSections, "next")),
                                         write("case.E02", segment(2, {{"sectors", 512}}, "done"))};
    EXPECT_EQ(segmentSetProblem(files), "");
}

TEST_F(SegmentSet, GapInTheSetNamesTheMissingSegment) {
    const std::vector<std::string> files{write("case.E01", segment(1, kFirstSections, "next")),
                                         write("case.E03", segment(3, {{"sectors", 512}}, "done"))};
    EXPECT_EQ(segmentSetProblem(files), "the segment case.E02 is missing");
}

TEST_F(SegmentSet, SetEndingWithNextNamesTheSegmentAfterIt) {
    const std::vector<std::string> files{write("case.E01", segment(1, kFirstSections, "next")),
                                         write("case.E02", segment(2, {{"sectors", 512}}, "next"))};
    EXPECT_EQ(segmentSetProblem(files), "the segment case.E03 is missing");
}

TEST_F(SegmentSet, TruncatedSegmentIsNamed) {
    std::vector<uint8_t> second = segment(2, {{"sectors", 8192}, {"table", 40}}, "done");
    second.resize(5000);
    const std::vector<std::string> files{write("case.E01", segment(1, kFirstSections, "next")),
                                         write("case.E02", second)};
    EXPECT_EQ(segmentSetProblem(files),
              "the segment case.E02 is truncated: it has 5000 bytes, its sections go on to byte 8281");
}

TEST_F(SegmentSet, MissingFirstSegment) {
    const std::vector<std::string> files{write("case.E02", segment(2, {{"sectors", 512}}, "done"))};
    EXPECT_EQ(segmentSetProblem(files), "the first segment of the set is missing (case.E02 is segment 2)");
}

}  // namespace
}  // namespace salvora

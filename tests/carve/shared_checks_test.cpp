#include "carve/shared_checks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "support/test_files.h"
#include "support/written_output.h"

namespace salvora {
namespace {

// A candidate whose output holds `bytes` in a file on disk; size is the written length.
class WrittenFile {
  public:
    explicit WrittenFile(const std::vector<uint8_t>& bytes) {
        candidate.output = test::outputHolding(bytes);
        candidate.size = bytes.size();
    }
    CarveCandidate candidate;
};

const uint8_t kEof[] = {'%', 'E', 'O', 'F'};
const uint8_t kEoi[] = {0xFF, 0xD9};

TEST(FindLastFooter, CutsAfterTheLastOccurrence) {
    std::vector<uint8_t> bytes(10000, 'x');
    bytes[100] = 0xFF, bytes[101] = 0xD9;
    bytes[7000] = 0xFF, bytes[7001] = 0xD9;
    WrittenFile file(bytes);
    endCheckFindLastFooter(file.candidate, kEoi, 2);
    EXPECT_EQ(file.candidate.size, 7002u);
}

TEST(FindLastFooter, FindsAFooterAcrossEveryChunkBoundaryPosition) {
    for (size_t at = 4090; at <= 4098; ++at) {
        std::vector<uint8_t> bytes(9000, 'x');
        std::copy(kEof, kEof + 4, bytes.begin() + static_cast<long>(at));
        WrittenFile file(bytes);
        endCheckFindLastFooter(file.candidate, kEof, 4);
        EXPECT_EQ(file.candidate.size, at + 4) << "footer at " << at;
    }
}

TEST(FindLastFooter, FileOfExactlyOneChunkAndFileWithoutFooter) {
    std::vector<uint8_t> bytes(4096, 'x');
    bytes[4094] = 0xFF, bytes[4095] = 0xD9;
    WrittenFile whole(bytes);
    endCheckFindLastFooter(whole.candidate, kEoi, 2);
    EXPECT_EQ(whole.candidate.size, 4096u);
    WrittenFile none(std::vector<uint8_t>(5000, 'y'));
    endCheckFindLastFooter(none.candidate, kEoi, 2);
    EXPECT_EQ(none.candidate.size, 0u);
}

TEST(FindLastFooter, IgnoresBytesPastTheCandidatesSize) {
    std::vector<uint8_t> bytes(3000, 'x');
    bytes[100] = 0xFF, bytes[101] = 0xD9;
    bytes[2000] = 0xFF, bytes[2001] = 0xD9;
    WrittenFile file(bytes);
    file.candidate.size = 1500;
    endCheckFindLastFooter(file.candidate, kEoi, 2);
    EXPECT_EQ(file.candidate.size, 102u);
}

TEST(AbsorbLineEnd, KeepsTheLineEndTheFlagsAllow) {
    std::vector<uint8_t> bytes{'%', 'E', 'O', 'F', '\r', '\n', 'z'};
    WrittenFile crlf(bytes);
    crlf.candidate.size = 4;
    endCheckAbsorbLineEnd(crlf.candidate, 3);
    EXPECT_EQ(crlf.candidate.size, 6u);
    crlf.candidate.size = 4;
    endCheckAbsorbLineEnd(crlf.candidate, 1);
    EXPECT_EQ(crlf.candidate.size, 4u);
    crlf.candidate.size = 4;
    endCheckAbsorbLineEnd(crlf.candidate, 4);
    EXPECT_EQ(crlf.candidate.size, 5u);
    WrittenFile lf(std::vector<uint8_t>{'a', '\n'});
    lf.candidate.size = 1;
    endCheckAbsorbLineEnd(lf.candidate, 7);
    EXPECT_EQ(lf.candidate.size, 2u);
}

// A block check answers 1 to go on and 2 when the file ends with the block.
TEST(BlockVerdict, KeepsTheValuesOfTheRecogniserContract) {
    EXPECT_EQ(static_cast<uint32_t>(BlockVerdict::kContinue), 1u);
    EXPECT_EQ(static_cast<uint32_t>(BlockVerdict::kFileEnds), 2u);
    EXPECT_EQ(static_cast<uint32_t>(OutputMode::kWrite), 1u);
}

TEST(ExpectedSize, BlockCheckAndEndCheck) {
    CarveCandidate candidate;
    candidate.expectedSize = 1000;
    candidate.size = 512;
    EXPECT_EQ(blockCheckUntilExpected(nullptr, 0, candidate), BlockVerdict::kContinue);
    candidate.size = 1000;
    EXPECT_EQ(blockCheckUntilExpected(nullptr, 0, candidate), BlockVerdict::kFileEnds);
    EXPECT_EQ(candidate.size, 1000u);
    candidate.size = 1536;
    endCheckTruncateToExpected(candidate);
    EXPECT_EQ(candidate.size, 1000u);
    candidate.size = 999;
    endCheckTruncateToExpected(candidate);
    EXPECT_EQ(candidate.size, 0u);
}

}  // namespace
}  // namespace salvora

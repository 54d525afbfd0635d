#include "carve/search_space.h"

#include <gtest/gtest.h>

#include "media/memory_reader.h"

namespace salvora {
namespace {

std::vector<std::pair<uint64_t, uint64_t>> spans(const SearchSpace& space) {
    std::vector<std::pair<uint64_t, uint64_t>> out;
    for (const SearchRange& range : space)
        out.emplace_back(range.start, range.end);
    return out;
}

SearchSpace spaceOf(std::initializer_list<SearchRange> ranges) {
    SearchSpace space;
    for (const SearchRange& range : ranges)
        EXPECT_TRUE(space.add(range)) << range.start;
    return space;
}

FamilyTally gTally;

TEST(InitFromPartition, PartitionOrWholeMedium) {
    MemoryReader medium(std::vector<uint8_t>(100000));
    SearchSpace partition;
    initFromPartition(partition, medium, 4096, 8192);
    EXPECT_EQ(spans(partition), (std::vector<std::pair<uint64_t, uint64_t>>{{4096, 12287}}));
    SearchSpace whole;
    initFromPartition(whole, medium, 0, 0);
    EXPECT_EQ(spans(whole), (std::vector<std::pair<uint64_t, uint64_t>>{{0, 99999}}));
}

TEST(InitFromPartition, TakesTheMediumsSectorSize) {
    MemoryReader medium(std::vector<uint8_t>(100000), 4096);
    SearchSpace space;
    initFromPartition(space, medium, 0, 0);
    EXPECT_EQ(space.sectorSize(), 4096u);
}

TEST(InitFromPartition, EndIsLoweredToTheMediumAndRangesBeyondItAreNotAdded) {
    MemoryReader medium(std::vector<uint8_t>(10000));
    SearchSpace space;
    initFromPartition(space, medium, 8192, 1 << 20);
    initFromPartition(space, medium, 20000, 4096);
    EXPECT_EQ(spans(space), (std::vector<std::pair<uint64_t, uint64_t>>{{8192, 9999}}));
}

TEST(AlignToGrid, MovesStartsToTheNextGridPointAndDropsEmptyRanges) {
    SearchSpace space = spaceOf({{513, 5000}, {5001, 5100}, {6000, 9000}});
    space.alignToGrid(1024, 512);
    EXPECT_EQ(spans(space), (std::vector<std::pair<uint64_t, uint64_t>>{{1536, 5000}, {6656, 9000}}));
}

TEST(AlignToGrid, PhaseLargerThanTheStart) {
    SearchSpace space = spaceOf({{0, 100000}});
    space.alignToGrid(32768, 0x600);
    EXPECT_EQ(space.front().start, 0x600u);
}

TEST(MarkFileStart, AtTheStartOnlyMarksInTheMiddleSplits) {
    SearchSpace space = spaceOf({{0, 9999}});
    RangeRef range = space.markFileStart(space.begin(), 0, &gTally);
    EXPECT_EQ(range->fileStart, &gTally);
    EXPECT_EQ(space.size(), 1u);
    range = space.markBlock(range, 0, 1);
    RangeRef second = space.markFileStart(range, 4096, &gTally);
    EXPECT_EQ(spans(space), (std::vector<std::pair<uint64_t, uint64_t>>{{0, 4095}, {4096, 9999}}));
    EXPECT_EQ(second->start, 4096u);
    EXPECT_EQ(second->dataFlag, 1u);                               // the data flag goes with the split
    EXPECT_EQ(space.markFileStart(second, 100, &gTally), second);  // outside: unchanged
}

TEST(MarkBlock, SplitsOnlyWhenTheFlagChanges) {
    SearchSpace space = spaceOf({{0, 9999}});
    RangeRef range = space.markBlock(space.begin(), 0, 1);
    EXPECT_EQ(range->dataFlag, 1u);
    EXPECT_EQ(space.markBlock(range, 512, 1), range);
    RangeRef clean = space.markBlock(range, 1024, 0);
    EXPECT_EQ(spans(space), (std::vector<std::pair<uint64_t, uint64_t>>{{0, 1023}, {1024, 9999}}));
    EXPECT_EQ(clean->dataFlag, 0u);
    EXPECT_EQ(clean->fileStart, nullptr);
}

TEST(ConsumeFile, TakesTheFilesBlocksRemovesNonDataAndShortensTheLastRange) {
    // A file of 2.5 blocks of 512: 1536 bytes of data ranges are taken.
    SearchSpace space = spaceOf({{0, 511, &gTally, 1},
                                 {512, 1023, nullptr, 0},
                                 {1024, 1535, nullptr, 1},
                                 {1536, 4095, nullptr, 1},
                                 {4096, 8191, &gTally, 0}});
    CarveCandidate file;
    file.size = 1280;
    file.startRange = space.begin();
    RangeRef next = space.consumeFile(file, 512);
    EXPECT_EQ(spans(space), (std::vector<std::pair<uint64_t, uint64_t>>{{2048, 4095}, {4096, 8191}}));
    EXPECT_EQ(next->start, 2048u);
    EXPECT_EQ(next->dataFlag, 1u);
    EXPECT_EQ(next->fileStart, nullptr);
}

TEST(ConsumeFile, ReturnsTheHeadWhenTheFileRunsToTheEnd) {
    SearchSpace space = spaceOf({{0, 1023, &gTally, 1}});
    CarveCandidate file;
    file.size = 1024;
    file.startRange = space.begin();
    EXPECT_EQ(space.consumeFile(file, 512), space.head());
    EXPECT_TRUE(space.empty());
}

// A kept file whose later blocks hold other data gives up only its first
// blocks; the rest stays to be searched (at least its first block goes).
TEST(ConsumeFile, TakingOnlyTheFirstBytesLeavesTheRestToSearch) {
    SearchSpace space = spaceOf({{0, 8191, &gTally, 1}});
    CarveCandidate file;
    file.size = 8192;
    file.startRange = space.begin();
    RangeRef next = space.consumeFile(file, 3000, 512);
    EXPECT_EQ(spans(space), (std::vector<std::pair<uint64_t, uint64_t>>{{3072, 8191}}));
    EXPECT_EQ(next->start, 3072u);
    EXPECT_EQ(next->fileStart, nullptr);

    SearchSpace other = spaceOf({{0, 8191, &gTally, 1}});
    file.startRange = other.begin();
    other.consumeFile(file, 0, 512);
    EXPECT_EQ(spans(other), (std::vector<std::pair<uint64_t, uint64_t>>{{512, 8191}}));
}

TEST(Advance, StepsThroughARangeThenToTheNextThenToTheHead) {
    SearchSpace space = spaceOf({{0, 1100}, {4096, 4607}});
    RangeRef range = space.begin();
    uint64_t offset = 0;
    space.advance(range, offset, 512);
    EXPECT_EQ(offset, 512u);
    space.advance(range, offset, 512);
    EXPECT_EQ(offset, 1024u);  // the block at 1024 is examined though the range ends inside it
    space.advance(range, offset, 512);
    EXPECT_EQ(offset, 4096u);
    space.advance(range, offset, 512);
    EXPECT_EQ(range, space.head());
}

TEST(BackToPreviousStart, GoesBackToTheNearestMarkWithinTenRanges) {
    SearchSpace space;
    for (uint64_t i = 0; i < 15; ++i)
        space.add({i * 1000, i * 1000 + 999, nullptr, 0});
    auto at = [&](size_t index) { return std::next(space.begin(), static_cast<long>(index)); };
    space.markFileStart(at(2), 2000, &gTally);
    space.markFileStart(at(5), 5000, &gTally);
    RangeRef range = at(14);
    uint64_t offset = 14000;
    space.backToPreviousStart(range, offset);
    EXPECT_EQ(range, at(5));
    EXPECT_EQ(offset, 5000u);
    space.markFileStart(at(5), 5000, nullptr);
    range = at(14);
    offset = 14000;
    space.backToPreviousStart(range, offset);  // the mark at 2 is 12 ranges back
    EXPECT_EQ(range, at(14));
    range = at(1);
    space.backToPreviousStart(range, offset);  // never onto the list head
    EXPECT_EQ(range, at(1));
}

TEST(DeriveBlockSize, FromTheAlignmentOfMarkedStarts) {
    uint64_t phase = 99;
    SearchSpace none = spaceOf({{0, 1 << 20}});
    EXPECT_EQ(none.deriveBlockSize(phase), 65536u);
    EXPECT_EQ(phase, 0u);
    SearchSpace two = spaceOf({{0, 0x7FFF}, {0x8000, 0x17FFF, &gTally}, {0x18000, 0x20000, &gTally}});
    EXPECT_EQ(two.deriveBlockSize(phase), 32768u);
    EXPECT_EQ(phase, 0u);
    SearchSpace one = spaceOf({{0, 0x5FF}, {0x600, 0x20000, &gTally}});
    EXPECT_EQ(one.deriveBlockSize(phase), 32768u);
    EXPECT_EQ(phase, 0x600u);
    SearchSpace scattered = spaceOf({{0, 0x1FF}, {0x200, 0x3FF, &gTally}, {0x400, 0x20000, &gTally}});
    EXPECT_EQ(scattered.deriveBlockSize(phase), 512u);
    SearchSpace empty;
    EXPECT_EQ(empty.deriveBlockSize(phase), 512u);
}

using Spans = std::vector<std::pair<uint64_t, uint64_t>>;

TEST(SearchSpaceInvariant, RangesAreAddedInOrderAndNeverOverlap) {
    SearchSpace space;
    EXPECT_TRUE(space.add({8192, 9999}));
    EXPECT_TRUE(space.add({0, 4095}));
    EXPECT_TRUE(space.add({4096, 8191}));
    EXPECT_FALSE(space.add({9999, 12000})) << "shares byte 9999";
    EXPECT_FALSE(space.add({100, 200})) << "inside a range";
    EXPECT_FALSE(space.add({0, 20000})) << "around every range";
    EXPECT_FALSE(space.add({30000, 29999})) << "empty";
    EXPECT_EQ(spans(space), (Spans{{0, 4095}, {4096, 8191}, {8192, 9999}}));
}

TEST(SearchSpaceInvariant, TheSectorSizeIsNeverZero) {
    EXPECT_EQ(SearchSpace().sectorSize(), 512u);
    SearchSpace space(0);
    EXPECT_EQ(space.sectorSize(), 512u);
    space.setSectorSize(4096);
    EXPECT_EQ(space.sectorSize(), 4096u);
    space.setSectorSize(0);
    EXPECT_EQ(space.sectorSize(), 512u);
}

TEST(RemoveBytes, RangesInsideGoAndRangesAcrossABoundAreShortened) {
    SearchSpace space =
        spaceOf({{0, 999, &gTally, 1}, {1000, 1999, &gTally}, {2000, 2999}, {3000, 3999, &gTally}});
    space.removeBytes(500, 3499);
    EXPECT_EQ(spans(space), (Spans{{0, 499}, {3500, 3999}}));
    EXPECT_EQ(space.front().fileStart, &gTally) << "its first byte is still there";
    EXPECT_EQ(space.front().dataFlag, 1u);
    EXPECT_EQ(space.back().fileStart, nullptr) << "its first byte is gone, and the mark with it";
}

TEST(RemoveBytes, ARangeAroundTheBytesIsSplitInTwo) {
    SearchSpace space = spaceOf({{0, 9999, &gTally, 1}});
    space.removeBytes(4096, 8191);
    EXPECT_EQ(spans(space), (Spans{{0, 4095}, {8192, 9999}}));
    EXPECT_EQ(space.front().fileStart, &gTally);
    EXPECT_EQ(space.back().fileStart, nullptr);
    EXPECT_EQ(space.back().dataFlag, 1u) << "the tail keeps the data flag";
}

TEST(RemoveBytes, EdgesAndNothingToRemove) {
    SearchSpace space = spaceOf({{100, 199}, {300, 399}});
    space.removeBytes(200, 299);
    EXPECT_EQ(spans(space), (Spans{{100, 199}, {300, 399}})) << "the gap between them";
    space.removeBytes(100, 100);
    space.removeBytes(399, 399);
    EXPECT_EQ(spans(space), (Spans{{101, 199}, {300, 398}}));
    space.removeBytes(250, 150);
    EXPECT_EQ(spans(space), (Spans{{101, 199}, {300, 398}})) << "first after last removes nothing";
    space.removeBytes(0, UINT64_MAX);
    EXPECT_TRUE(space.empty());
}

}  // namespace
}  // namespace salvora

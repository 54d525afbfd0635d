#include "carve/search_space.h"

#include <gtest/gtest.h>

#include "media/memory_reader.h"

namespace salvora {
namespace {

std::vector<std::pair<uint64_t, uint64_t>> spans(const SearchSpace& space) {
    std::vector<std::pair<uint64_t, uint64_t>> out;
    for (const SearchRange& range : space.ranges)
        out.emplace_back(range.start, range.end);
    return out;
}

SearchSpace spaceOf(std::initializer_list<SearchRange> ranges) {
    SearchSpace space;
    for (const SearchRange& range : ranges)
        space.ranges.push_back(range);
    return space;
}

FamilyTally gTally;

TEST(InitFromPartition, PartitionOrWholeMedium) {
    MemoryReader medium(std::vector<uint8_t>(100000));
    SearchSpace space;
    initFromPartition(space, medium, 4096, 8192);
    initFromPartition(space, medium, 0, 0);
    EXPECT_EQ(spans(space), (std::vector<std::pair<uint64_t, uint64_t>>{{4096, 12287}, {0, 99999}}));
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
    alignToGrid(1024, space, 512);
    EXPECT_EQ(spans(space), (std::vector<std::pair<uint64_t, uint64_t>>{{1536, 5000}, {6656, 9000}}));
}

TEST(AlignToGrid, PhaseLargerThanTheStart) {
    SearchSpace space = spaceOf({{0, 100000}});
    alignToGrid(32768, space, 0x600);
    EXPECT_EQ(space.ranges.front().start, 0x600u);
}

TEST(MarkFileStart, AtTheStartOnlyMarksInTheMiddleSplits) {
    SearchSpace space = spaceOf({{0, 9999}});
    RangeRef range = markFileStart(space, space.ranges.begin(), 0, &gTally);
    EXPECT_EQ(range->fileStart, &gTally);
    EXPECT_EQ(space.ranges.size(), 1u);
    range->dataFlag = 1;
    RangeRef second = markFileStart(space, range, 4096, &gTally);
    EXPECT_EQ(spans(space), (std::vector<std::pair<uint64_t, uint64_t>>{{0, 4095}, {4096, 9999}}));
    EXPECT_EQ(second->start, 4096u);
    EXPECT_EQ(second->dataFlag, 1u);                                // the data flag goes with the split
    EXPECT_EQ(markFileStart(space, second, 100, &gTally), second);  // outside: unchanged
}

TEST(MarkBlock, SplitsOnlyWhenTheFlagChanges) {
    SearchSpace space = spaceOf({{0, 9999}});
    RangeRef range = markBlock(space, space.ranges.begin(), 0, 1);
    EXPECT_EQ(range->dataFlag, 1u);
    EXPECT_EQ(markBlock(space, range, 512, 1), range);
    RangeRef clean = markBlock(space, range, 1024, 0);
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
    file.startRange = space.ranges.begin();
    RangeRef next = consumeFile(space, file, 512);
    EXPECT_EQ(spans(space), (std::vector<std::pair<uint64_t, uint64_t>>{{2048, 4095}, {4096, 8191}}));
    EXPECT_EQ(next->start, 2048u);
    EXPECT_EQ(next->dataFlag, 1u);
    EXPECT_EQ(next->fileStart, nullptr);
}

TEST(ConsumeFile, ReturnsTheHeadWhenTheFileRunsToTheEnd) {
    SearchSpace space = spaceOf({{0, 1023, &gTally, 1}});
    CarveCandidate file;
    file.size = 1024;
    file.startRange = space.ranges.begin();
    EXPECT_EQ(consumeFile(space, file, 512), space.head());
    EXPECT_TRUE(space.empty());
}

TEST(Advance, StepsThroughARangeThenToTheNextThenToTheHead) {
    SearchSpace space = spaceOf({{0, 1100}, {4096, 4607}});
    RangeRef range = space.ranges.begin();
    uint64_t offset = 0;
    advance(space, range, offset, 512);
    EXPECT_EQ(offset, 512u);
    advance(space, range, offset, 512);
    EXPECT_EQ(offset, 1024u);  // the block at 1024 is examined though the range ends inside it
    advance(space, range, offset, 512);
    EXPECT_EQ(offset, 4096u);
    advance(space, range, offset, 512);
    EXPECT_EQ(range, space.head());
}

TEST(BackToPreviousStart, GoesBackToTheNearestMarkWithinTenRanges) {
    SearchSpace space;
    for (uint64_t i = 0; i < 15; ++i)
        space.ranges.push_back({i * 1000, i * 1000 + 999, nullptr, 0});
    auto at = [&](size_t index) { return std::next(space.ranges.begin(), static_cast<long>(index)); };
    at(2)->fileStart = &gTally;
    at(5)->fileStart = &gTally;
    RangeRef range = at(14);
    uint64_t offset = 14000;
    backToPreviousStart(space, range, offset);
    EXPECT_EQ(range, at(5));
    EXPECT_EQ(offset, 5000u);
    at(5)->fileStart = nullptr;
    range = at(14);
    offset = 14000;
    backToPreviousStart(space, range, offset);  // the mark at 2 is 12 ranges back
    EXPECT_EQ(range, at(14));
    range = at(1);
    backToPreviousStart(space, range, offset);  // never onto the list head
    EXPECT_EQ(range, at(1));
}

TEST(DeriveBlockSize, FromTheAlignmentOfMarkedStarts) {
    uint64_t phase = 99;
    SearchSpace none = spaceOf({{0, 1 << 20}});
    EXPECT_EQ(deriveBlockSize(none, 512, phase), 65536u);
    EXPECT_EQ(phase, 0u);
    SearchSpace two = spaceOf({{0, 0x7FFF}, {0x8000, 0x17FFF, &gTally}, {0x18000, 0x20000, &gTally}});
    EXPECT_EQ(deriveBlockSize(two, 512, phase), 32768u);
    EXPECT_EQ(phase, 0u);
    SearchSpace one = spaceOf({{0, 0x5FF}, {0x600, 0x20000, &gTally}});
    EXPECT_EQ(deriveBlockSize(one, 512, phase), 32768u);
    EXPECT_EQ(phase, 0x600u);
    SearchSpace scattered = spaceOf({{0, 0x1FF}, {0x200, 0x3FF, &gTally}, {0x400, 0x20000, &gTally}});
    EXPECT_EQ(deriveBlockSize(scattered, 512, phase), 512u);
    SearchSpace empty;
    EXPECT_EQ(deriveBlockSize(empty, 512, phase), 512u);
}

}  // namespace
}  // namespace salvora

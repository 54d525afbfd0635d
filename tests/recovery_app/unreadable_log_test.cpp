// Unreadable ranges are told once per stretch, however many reads failed in it.
#include "recovery_app/core/unreadable_log.h"

#include <gtest/gtest.h>

#include <vector>

namespace salvora {
namespace {

struct Told {
    std::vector<std::pair<uint64_t, uint64_t>> ranges;  // offset, length
    UnreadableLog log{[this](const UnreadableRange& range) {
        ranges.push_back({range.offset, range.length});
    }};
};

TEST(UnreadableLog, ConsecutiveFailedReadsOfOneStretchGiveOneRange) {
    Told told;
    // A medium that shrank to 100 MiB under a scan reading 512 KiB at a time.
    for (uint64_t at = 100 << 20; at < (200 << 20); at += 524288)
        told.log.add({at, 524288});
    EXPECT_TRUE(told.ranges.empty()) << "the stretch may still grow";
    told.log.finish();
    ASSERT_EQ(told.ranges.size(), 1u);
    EXPECT_EQ(told.ranges[0], std::make_pair(uint64_t{100} << 20, uint64_t{100} << 20));
}

TEST(UnreadableLog, SeparateStretchesAreToldInTurn) {
    Told told;
    told.log.add({4096, 512});
    told.log.add({4608, 512});   // touches the first
    told.log.add({3584, 1024});  // overlaps it from below
    told.log.add({65536, 512});  // a stretch of its own: the first is told
    ASSERT_EQ(told.ranges.size(), 1u);
    EXPECT_EQ(told.ranges[0], std::make_pair(uint64_t{3584}, uint64_t{1536}));
    told.log.add({0, 0});  // nothing
    told.log.finish();
    told.log.finish();
    ASSERT_EQ(told.ranges.size(), 2u);
    EXPECT_EQ(told.ranges[1], std::make_pair(uint64_t{65536}, uint64_t{512}));
}

}  // namespace
}  // namespace salvora

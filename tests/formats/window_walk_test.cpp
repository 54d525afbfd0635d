// The window arithmetic that the structure walks of the newer families use:
// a check on a file of 4096 bytes with 512-byte blocks sees the file offsets
// 3584 to 4607 at window indexes 0 to 1023.
#include "formats/window_walk.h"

#include <gtest/gtest.h>

#include <vector>

namespace salvora {
namespace {

struct Window {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(1024, 0);
    CarveCandidate candidate;
    Window() { candidate.size = 4096; }
    WindowWalk walk() const { return WindowWalk(bytes.data(), 1024, candidate); }
};

TEST(WindowWalk, HoldsWholeOnlyWhatLiesBetweenThePreviousBlockAndTheEndOfTheCurrentOne) {
    const Window window;
    const WindowWalk walk = window.walk();
    EXPECT_TRUE(walk.holdsWhole(3584, 4));   // the first bytes of the previous block
    EXPECT_FALSE(walk.holdsWhole(3583, 1));  // one byte before the window
    EXPECT_TRUE(walk.holdsWhole(4604, 4));   // the last four bytes of the current block
    EXPECT_FALSE(walk.holdsWhole(4605, 4));  // one of them past the window
    EXPECT_TRUE(walk.holdsWhole(4608, 0));   // nothing at the window's end
    EXPECT_FALSE(walk.holdsWhole(4609, 0));
    EXPECT_EQ(walk.index(3584), 0u);
    EXPECT_EQ(walk.index(4607), 1023u);
}

TEST(WindowWalk, SpanIsThePartOfARangeTheWindowHoldsFromItsStart) {
    const Window window;
    const WindowWalk walk = window.walk();
    const WindowWalk::Span inside = walk.span(4000, 4100);
    EXPECT_EQ(inside.index, 416u);
    EXPECT_EQ(inside.length, 100u);
    const WindowWalk::Span cut = walk.span(4000, 5000);
    EXPECT_EQ(cut.index, 416u);
    EXPECT_EQ(cut.length, 608u);
    // A range starting before the window, or past it, or empty: nothing.
    EXPECT_EQ(walk.span(3000, 4000).length, 0u);
    EXPECT_EQ(walk.span(4700, 5000).length, 0u);
    EXPECT_EQ(walk.span(4000, 4000).length, 0u);
}

}  // namespace
}  // namespace salvora

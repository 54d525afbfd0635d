#include "widgets/core/gradient_bands.h"

#include <gtest/gtest.h>

namespace salvora::widgets {
namespace {

constexpr Rgb kRed{255, 30, 60};
constexpr Rgb kGrey{210, 210, 210};

TEST(GradientSteps, LargestChannelDifferenceGivesTheBandCount) {
    EXPECT_EQ(gradientSteps(kRed, kGrey), 180);  // green 30 -> 210
    EXPECT_EQ(gradientSteps({255, 0, 0}, {0, 0, 255}), 255);
    EXPECT_EQ(gradientSteps({10, 20, 30}, {15, 18, 30}), 5);
}

TEST(GradientSteps, EqualColoursRunOverTheStartColoursOwnValues) {
    EXPECT_EQ(gradientSteps({100, 40, 7}, {100, 40, 7}), 100);
    EXPECT_EQ(gradientSteps({0, 0, 0}, {0, 0, 0}), 255);
}

TEST(GradientPlan, FullBarHasEveryBandEdgeToEdgeAndNoBackground) {
    for (int extent : {1, 179, 180, 181, 300, 360, 1001}) {
        const GradientPlan plan = planGradient(kRed, kGrey, extent, extent);
        ASSERT_EQ(plan.bands.size(), 180u) << extent;
        EXPECT_EQ(plan.backgroundFrom, -1) << extent;
        EXPECT_EQ(plan.bands.front().from, 0);
        // No pixel column is left out, not even the last one.
        EXPECT_EQ(plan.bands.back().to, extent) << extent;
        for (size_t i = 1; i < plan.bands.size(); ++i)
            ASSERT_EQ(plan.bands[i].from, plan.bands[i - 1].to);
    }
}

TEST(GradientPlan, BandColoursStepFromTheStartTowardsTheEnd) {
    const GradientPlan plan = planGradient(kRed, kGrey, 360, 360);
    EXPECT_EQ(plan.bands[0].colour, kRed);
    EXPECT_EQ(plan.bands[1].colour, (Rgb{254, 31, 60}));  // 255 - 0.25, 30 + 1, 60 + 0.83 cut
    EXPECT_EQ(plan.bands[6].colour, (Rgb{253, 36, 65}));  // 60 + 6 x 150 / 180 = 65 exactly
    EXPECT_EQ(plan.bands[179].colour, (Rgb{210, 209, 209}));
    for (size_t i = 1; i < plan.bands.size(); ++i) {
        EXPECT_EQ(plan.bands[i].colour.green, plan.bands[i - 1].colour.green + 1);
        EXPECT_LE(plan.bands[i].colour.red, plan.bands[i - 1].colour.red);
        EXPECT_GE(plan.bands[i].colour.blue, plan.bands[i - 1].colour.blue);
    }
}

TEST(GradientPlan, PartlyFilledBarStopsAfterTheBandThatReachesPastTheFill) {
    // 360 pixels, 2 per band: 180 filled pixels end band 89; band 90 reaches past.
    const GradientPlan plan = planGradient(kRed, kGrey, 360, 180);
    ASSERT_EQ(plan.bands.size(), 91u);
    EXPECT_EQ(plan.bands.back().from, 180);
    EXPECT_EQ(plan.backgroundFrom, 182);
    // A fill inside a band uncovers that whole band.
    const GradientPlan inside = planGradient(kRed, kGrey, 360, 181);
    EXPECT_EQ(inside.bands.size(), 91u);
    EXPECT_EQ(inside.backgroundFrom, 182);
}

TEST(GradientPlan, TinyFillStillShowsTheFirstBand) {
    const GradientPlan plan = planGradient(kRed, kGrey, 360, 0);
    ASSERT_EQ(plan.bands.size(), 1u);
    EXPECT_EQ(plan.backgroundFrom, 2);
}

TEST(GradientPlan, ChannelsWrapToTheirLowEightBits) {
    // Equal colours: the differences are the start's own values, so red runs
    // from 200 towards 400 and wraps past 255.
    const GradientPlan plan = planGradient({200, 0, 0}, {200, 0, 0}, 200, 200);
    ASSERT_EQ(plan.bands.size(), 200u);
    EXPECT_EQ(plan.bands[55].colour.red, 255);
    EXPECT_EQ(plan.bands[56].colour.red, 0);
    EXPECT_EQ(plan.bands[199].colour.red, (200 + 199) & 0xFF);
}

TEST(GradientPlan, NarrowerBarThanBandsGetsEmptyBandsButNoGaps) {
    const GradientPlan plan = planGradient({255, 0, 0}, {0, 0, 255}, 10, 10);
    ASSERT_EQ(plan.bands.size(), 255u);
    int covered = 0;
    for (const GradientBand& band : plan.bands)
        covered += band.to - band.from;
    EXPECT_EQ(covered, 10);
}

TEST(Progress, GradientShowsOnlyInsideTheRange) {
    EXPECT_FALSE(showsGradient(0, 100, 0));
    EXPECT_TRUE(showsGradient(0, 100, 1));
    EXPECT_TRUE(showsGradient(0, 100, 100));
    EXPECT_FALSE(showsGradient(0, 100, 101));
    EXPECT_FALSE(showsGradient(0, 100, -5));
    // A range ending at or below zero cannot be divided by.
    EXPECT_FALSE(showsGradient(-10, 0, 0));
}

TEST(Progress, FilledLengthIsCutToWholePixels) {
    EXPECT_EQ(filledLength(50, 100, 360), 180);
    EXPECT_EQ(filledLength(1, 100, 150), 1);
    EXPECT_EQ(filledLength(33, 100, 100), 33);
    EXPECT_EQ(filledLength(2, 3, 100), 66);
    EXPECT_EQ(filledLength(100, 100, 359), 359);
    EXPECT_EQ(filledLength(5, 0, 100), 0);
}

}  // namespace
}  // namespace salvora::widgets

#include "cardprotect_app/core/launch_options.h"

#include <gtest/gtest.h>

namespace salvora::cardprotect {
namespace {

TEST(LaunchOptions, ElevatedCopyOnlyByAnExactFirstWord) {
    EXPECT_TRUE(parseLaunchOptions({"runas"}).elevatedCopy);
    EXPECT_TRUE(parseLaunchOptions({"runas", "-start"}).elevatedCopy);
    EXPECT_FALSE(parseLaunchOptions({}).elevatedCopy);
    EXPECT_FALSE(parseLaunchOptions({"-start", "runas"}).elevatedCopy);
    EXPECT_FALSE(parseLaunchOptions({"RUNAS"}).elevatedCopy);
    EXPECT_FALSE(parseLaunchOptions({"runas2"}).elevatedCopy);
}

TEST(LaunchOptions, SimulatedReaderAnywhereOtherWordsIgnored) {
    EXPECT_EQ(parseLaunchOptions({"--simulate", "C:\\state.txt"}).simulate, "C:\\state.txt");
    EXPECT_EQ(parseLaunchOptions({"runas", "-start", "--simulate", "s"}).simulate, "s");
    EXPECT_TRUE(parseLaunchOptions({"-start"}).simulate.empty());
    const LaunchOptions missing = parseLaunchOptions({"--simulate"});
    EXPECT_TRUE(missing.simulate.empty());
    EXPECT_TRUE(missing.simulateMissingFile);
}

// Regression: an empty --simulate (a script's empty variable) started the
// window on the real reader.
TEST(LaunchOptions, EmptyOrConflictingSimulateIsAMistakeNotTheRealReader) {
    EXPECT_TRUE(parseLaunchOptions({"--simulate", ""}).simulateMissingFile);
    EXPECT_TRUE(parseLaunchOptions({"--simulate="}).simulateMissingFile);
    EXPECT_EQ(parseLaunchOptions({"--simulate=s.txt"}).simulate, "s.txt");
    EXPECT_TRUE(parseLaunchOptions({"--simulate", "a", "--simulate", "b"}).simulateConflict);
    const LaunchOptions same = parseLaunchOptions({"--simulate", "a", "--simulate=a"});
    EXPECT_FALSE(same.simulateConflict || same.simulateMissingFile);
    EXPECT_EQ(same.simulate, "a");
}

TEST(ElevatedParameters, CarryTheArgumentsQuotedForTheSplitter) {
    EXPECT_EQ(elevatedParameters({}), "runas");
    EXPECT_EQ(elevatedParameters({"-start"}), "runas -start");
    EXPECT_EQ(elevatedParameters({"runas", "-start"}), "runas -start");
    EXPECT_EQ(elevatedParameters({"--simulate", "C:\\My Cards\\state.txt"}),
              "runas --simulate \"C:\\My Cards\\state.txt\"");
    EXPECT_EQ(elevatedParameters({"a \"b\""}), "runas \"a \\\"b\\\"\"");
    EXPECT_EQ(elevatedParameters({"C:\\dir name\\"}), "runas \"C:\\dir name\\\\\"");
    EXPECT_EQ(elevatedParameters({""}), "runas \"\"");
}

}  // namespace
}  // namespace salvora::cardprotect

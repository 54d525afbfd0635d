// The checks before a companion program starts, in their order.
#include "recovery_app/core/companions.h"

#include <gtest/gtest.h>

#include <set>

#include "recovery_app/core/messages.h"

namespace salvora {
namespace {

// A current folder holding the given files.
auto folderWith(std::set<std::string> files) {
    return [files](const std::string& name) { return files.count(name) != 0; };
}

TEST(Companions, TheFormatToolNeedsItsProgramAndThenItsLibrary) {
    auto launch = planCompanionLaunch(Companion::kFormatTool, false, folderWith({}));
    EXPECT_EQ(launch.error, "Blankwise.exe does not exists");
    launch = planCompanionLaunch(Companion::kFormatTool, false, folderWith({"Blankwisecore.dll"}));
    EXPECT_EQ(launch.error, "Blankwise.exe does not exists");
    launch = planCompanionLaunch(Companion::kFormatTool, false, folderWith({"Blankwise.exe"}));
    EXPECT_EQ(launch.error, "Blankwise.exe requires Blankwisecore.dll to run");
    launch = planCompanionLaunch(Companion::kFormatTool, false,
                                 folderWith({"Blankwise.exe", "Blankwisecore.dll"}));
    EXPECT_TRUE(launch.error.empty());
    EXPECT_FALSE(launch.askFirst);
    EXPECT_EQ(launch.program, "Blankwise.exe");
}

TEST(Companions, TheProtectionProgramNeedsTheReaderFirstThenAsks) {
    auto launch = planCompanionLaunch(Companion::kProtectionTool, false, folderWith({"Lockwright.exe"}));
    EXPECT_EQ(launch.error, "This function requires the Korvell QX7R USB 3.0 card reader!");
    launch = planCompanionLaunch(Companion::kProtectionTool, false, folderWith({}));
    EXPECT_EQ(launch.error, messages::kReaderMissing) << "the reader is checked before the program";
    launch = planCompanionLaunch(Companion::kProtectionTool, true, folderWith({}));
    EXPECT_EQ(launch.error, "Lockwright.exe does not exists");
    launch = planCompanionLaunch(Companion::kProtectionTool, true, folderWith({"Lockwright.exe"}));
    EXPECT_TRUE(launch.error.empty());
    EXPECT_TRUE(launch.askFirst);
    EXPECT_EQ(launch.program, "Lockwright.exe");
    EXPECT_STREQ(kCompanionCommandLine, " -start");
}

}  // namespace
}  // namespace salvora

#include "recovery_app/core/destination_check.h"

#include <gtest/gtest.h>

#include "recovery_app/core/messages.h"

namespace salvora {
namespace {

TEST(SameDiskMessage, FillsPathAndDiskAndEndsWithTheFrontEndsAdvice) {
    EXPECT_EQ(
        sameDiskMessage("D:\\Saved Files\\", "QX7R SD", messages::kSameDiskEndingWindow),
        "Your Saved Path(D:\\Saved Files\\) is identical to the recovery disk(QX7R SD),this will render your "
        "lost files unrecoverable.\nPlease select another saved location under 'Settings' menu.");
    EXPECT_EQ(
        sameDiskMessage("/media/card/out", "%s disk", messages::kSameDiskEndingCommandLine),
        "Your Saved Path(/media/card/out) is identical to the recovery disk(%s disk),this will render your "
        "lost files unrecoverable.\nPlease select another saved location with --out.");
}

TEST(DiskLetters, VolumesAreGroupedByDiskNumber) {
    const DiskLetters letters = diskLettersOf({{'C', 0}, {'E', 1}, {'D', 0}, {'F', 15}, {'G', 16}});
    EXPECT_EQ(letters[0], "C:D:");
    EXPECT_EQ(letters[1], "E:");
    EXPECT_EQ(letters[15], "F:");
    EXPECT_EQ(letters[2], "");
}

TEST(DiskLetters, DestinationDriveIsComparedIgnoringCase) {
    EXPECT_TRUE(lettersHoldDestination("C:D:", "D:\\Saved Files\\"));
    EXPECT_TRUE(lettersHoldDestination("C:D:", "c:\\Saved Files\\"));
    EXPECT_FALSE(lettersHoldDestination("C:D:", "E:\\Saved Files\\"));
    EXPECT_FALSE(lettersHoldDestination("", "C:\\Saved Files\\"));
    EXPECT_TRUE(lettersHoldDestination("E:", "E:"));
}

// Regression: the drive of a network path is empty, and comparing over its
// length matched every volume of the disk.
TEST(DiskLetters, NetworkPathsAreOnNoDisk) {
    EXPECT_FALSE(lettersHoldDestination("C:D:", "\\\\server\\share\\saved\\"));
    EXPECT_FALSE(lettersHoldDestination("C:D:", "C:folder"));
}

}  // namespace
}  // namespace salvora

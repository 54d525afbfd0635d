#include "recovery_app/core/destination_check.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>

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

// A volume table of a machine with the card (disk 2) mounted on the folder
// C:\\Mounts\\Card as well as on F:, the system volume C: on disk 0, and a
// volume E: that spans disks 0 and 3.
class FakeVolumes : public VolumeTable {
  public:
    std::optional<std::string> mountPointOf(const std::string& path) const override {
        // The longest mount point that starts the path, as the system finds it.
        std::optional<std::string> found;
        for (const auto& [mountPoint, volume] : volumes_) {
            if (startsWithIgnoringCase(path, mountPoint) && (!found || mountPoint.size() > found->size()))
                found = mountPoint;
        }
        return found;
    }
    std::optional<std::string> volumeAt(const std::string& mountPoint) const override {
        const auto at = volumes_.find(mountPoint);
        return at == volumes_.end() ? std::nullopt : std::optional<std::string>(at->second);
    }
    std::vector<uint32_t> disksOf(const std::string& volume) const override {
        const auto at = extents_.find(volume);
        return at == extents_.end() ? std::vector<uint32_t>() : at->second;
    }

  private:
    static bool startsWithIgnoringCase(const std::string& text, const std::string& start) {
        if (text.size() < start.size())
            return false;
        for (size_t i = 0; i < start.size(); ++i) {
            if (std::toupper(static_cast<unsigned char>(text[i])) !=
                std::toupper(static_cast<unsigned char>(start[i])))
                return false;
        }
        return true;
    }

    const std::map<std::string, std::string> volumes_{
        {"C:\\", "\\\\?\\Volume{system}\\"},  {"C:\\Mounts\\Card\\", "\\\\?\\Volume{card}\\"},
        {"F:\\", "\\\\?\\Volume{card}\\"},    {"E:\\", "\\\\?\\Volume{spanned}\\"},
        {"G:\\", "\\\\?\\Volume{unknown}\\"},
    };
    const std::map<std::string, std::vector<uint32_t>> extents_{
        {"\\\\?\\Volume{system}\\", {0}},
        {"\\\\?\\Volume{card}\\", {2}},
        {"\\\\?\\Volume{spanned}\\", {0, 3}},
    };
};

TEST(VolumeCheck, AFolderOnTheDiskReachedThroughAMountPointIsOnTheDisk) {
    const FakeVolumes volumes;
    EXPECT_TRUE(volumeHoldsDestination(volumes, "C:\\Mounts\\Card\\Rescued\\", 2));
    EXPECT_TRUE(volumeHoldsDestination(volumes, "c:\\mounts\\card\\", 2));
    EXPECT_FALSE(volumeHoldsDestination(volumes, "C:\\Mounts\\Card\\Rescued\\", 0))
        << "the mount point's volume, not the drive's, holds it";
    EXPECT_TRUE(volumeHoldsDestination(volumes, "C:\\Saved Files\\", 0));
    EXPECT_FALSE(volumeHoldsDestination(volumes, "C:\\Saved Files\\", 2));
    EXPECT_TRUE(volumeHoldsDestination(volumes, "F:\\Saved Files\\", 2));
}

TEST(VolumeCheck, AVolumeOnSeveralDisksIsOnEachOfThem) {
    const FakeVolumes volumes;
    EXPECT_TRUE(volumeHoldsDestination(volumes, "E:\\Saved Files\\", 0));
    EXPECT_TRUE(volumeHoldsDestination(volumes, "E:\\Saved Files\\", 3));
    EXPECT_FALSE(volumeHoldsDestination(volumes, "E:\\Saved Files\\", 1));
}

TEST(VolumeCheck, WhatTheTableCannotTellIsOnNoDisk) {
    const FakeVolumes volumes;
    EXPECT_FALSE(volumeHoldsDestination(volumes, "\\\\server\\share\\", 0)) << "no mount point";
    EXPECT_FALSE(volumeHoldsDestination(volumes, "H:\\x\\", 0)) << "no volume";
    EXPECT_FALSE(volumeHoldsDestination(volumes, "G:\\x\\", 0)) << "no extents";
}

}  // namespace
}  // namespace salvora

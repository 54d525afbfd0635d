// Images listed as disks after the physical drives, and the disk and
// partition the window recovers from.
#include <gtest/gtest.h>

#include "media/memory_reader.h"
#include "recovery_app/core/image_disks.h"
#include "recovery_app/core/scan_context.h"
#include "support/test_files.h"

namespace salvora {
namespace {

// A system with the given disks, each a small blank medium.
class FakeDisks : public DiskSource {
  public:
    explicit FakeDisks(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    std::vector<std::string> candidatePaths() override { return paths_; }
    std::unique_ptr<MediaReader> open(const std::string& path, const PartitionScheme*, uint32_t, std::string&,
                                      OpenFailure&) override {
        auto reader = std::make_unique<MemoryReader>(std::vector<uint8_t>(1 << 20, 0));
        reader->devicePath = path;
        reader->model = "Disk " + path;
        reader->fixedMedia = 1;
        return reader;
    }

  private:
    std::vector<std::string> paths_;
};

struct Images {
    test::TempDir dir;
    std::string card = (dir.path() / "card.img").string();
    std::string other = (dir.path() / "other.img").string();
    Images() {
        test::writeFile(card, std::vector<uint8_t>(3 << 20, 0));
        test::writeFile(other, std::vector<uint8_t>(4096, 0));
    }
};

TEST(ImageDisks, ComeAfterTheDrivesNamedByTheirFileNames) {
    Images images;
    FakeDisks system({"\\\\.\\PhysicalDrive0", "\\\\.\\PhysicalDrive1"});
    ScanContext context;
    std::vector<std::string> failures;
    rebuildDisks(context, system, {{images.card, ""}, {images.other, "E:"}}, 2, failures);
    EXPECT_TRUE(failures.empty());
    ASSERT_EQ(context.diskRows.size(), 4u);
    EXPECT_EQ(context.diskRows[0].model, "Disk \\\\.\\PhysicalDrive0");
    EXPECT_EQ(context.diskRows[2].model, "card.img");
    EXPECT_EQ(context.diskRows[2].sizeText, "3.00  MB");
    EXPECT_EQ(context.diskRows[3].model, "other.img");
    EXPECT_EQ(context.diskRows[2].disk->driveIndex, kFirstImageDiskNumber);
    EXPECT_EQ(context.diskRows[3].disk->driveIndex, kFirstImageDiskNumber + 1);
}

TEST(ImageDisks, AnImageThatCannotBeOpenedIsNamedAndTheOthersListed) {
    Images images;
    FakeDisks system({});
    ScanContext context;
    std::vector<std::string> failures;
    const std::string missing = (images.dir.path() / "missing.img").string();
    rebuildDisks(context, system, {{missing, ""}, {images.card, ""}, {images.card, ""}}, 2, failures);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("missing.img"), std::string::npos) << failures[0];
    ASSERT_EQ(context.diskRows.size(), 1u) << "an image named twice is listed once";
    EXPECT_EQ(context.diskRows[0].model, "card.img");
}

TEST(ImageDisks, DrivesOfADiskComeFromItsVolumesOrFromWhereTheImageIsMounted) {
    Images images;
    FakeDisks system({"\\\\.\\PhysicalDrive0"});
    ScanContext context;
    std::vector<std::string> failures;
    const std::vector<ImageArgument> arguments{{images.card, ""}, {images.other, "E:F:"}};
    rebuildDisks(context, system, arguments, 2, failures);
    ASSERT_EQ(context.diskRows.size(), 3u);
    DiskLetters physical;
    physical[0] = "C:D:";
    EXPECT_EQ(drivesOfDisk(*context.diskRows[0].disk, physical, arguments), "C:D:");
    EXPECT_EQ(drivesOfDisk(*context.diskRows[1].disk, physical, arguments), "");
    EXPECT_EQ(drivesOfDisk(*context.diskRows[2].disk, physical, arguments), "E:F:");
}

TEST(ScanContext, ChoosingADiskReadsItsPartitions) {
    Images images;
    FakeDisks system({});
    ScanContext context;
    std::vector<std::string> failures;
    rebuildDisks(context, system, {{images.card, ""}}, 2, failures);
    ASSERT_TRUE(chooseDisk(context, 0));
    EXPECT_EQ(context.currentMedium, context.diskRows[0].disk);
    // A blank image is one partition without a file system over the whole image.
    ASSERT_EQ(context.partitionRows.size(), 1u);
    EXPECT_EQ(context.partitionRows[0].label, "Unknown");
    EXPECT_EQ(context.partitionRows[0].partition->size, uint64_t{3} << 20);
    EXPECT_FALSE(chooseDisk(context, 1));
    EXPECT_EQ(context.currentMedium, nullptr);
    EXPECT_TRUE(context.partitionRows.empty());
}

// The disks are closed and freed when the list is rebuilt; rows still
// pointing at the old disk's partitions would recover from a freed reader.
TEST(ScanContext, RebuildingTheDiskListForgetsTheChosenDiskAndItsPartitions) {
    Images images;
    FakeDisks system({"\\\\.\\PhysicalDrive0"});
    ScanContext context;
    std::vector<std::string> failures;
    rebuildDisks(context, system, {{images.card, ""}}, 2, failures);
    ASSERT_TRUE(chooseDisk(context, 1));
    context.currentPartition = context.partitionRows[0].partition;
    rebuildDisks(context, system, {{images.card, ""}}, 2, failures);
    EXPECT_EQ(context.currentMedium, nullptr);
    EXPECT_EQ(context.currentPartition, nullptr);
    EXPECT_TRUE(context.partitions.empty());
    EXPECT_TRUE(context.partitionRows.empty());
    EXPECT_EQ(context.diskRows.size(), 2u);
}

TEST(ScanContext, TheDiskTypeChoosesTheRows) {
    Images images;
    FakeDisks system({"\\\\.\\PhysicalDrive0"});  // fixed
    ScanContext context;
    std::vector<std::string> failures;
    rebuildDisks(context, system, {{images.card, ""}}, 0, failures);
    ASSERT_EQ(context.diskRows.size(), 1u);
    EXPECT_EQ(context.diskRows[0].model, "card.img") << "an image counts as removable";
    rebuildDisks(context, system, {{images.card, ""}}, 1, failures);
    ASSERT_EQ(context.diskRows.size(), 1u);
    EXPECT_EQ(context.diskRows[0].model, "Disk \\\\.\\PhysicalDrive0");
}

}  // namespace
}  // namespace salvora

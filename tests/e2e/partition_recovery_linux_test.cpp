// Recovering one partition of a real MBR disk image reads only that partition.
#include <gtest/gtest.h>

#include "media/image_reader.h"
#include "partitions/current_medium.h"
#include "recovery_app/core/partition_rows.h"
#include "support/disk_images.h"
#include "support/recovery_harness.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::dataPath;
using test::readFile;

// A disk with one photo in each of its four volumes: FAT12, FAT16, FAT32, NTFS.
class PhotoDisk : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!test::missingTools({"sfdisk", "mkfs.vfat", "mkntfs", "ntfscp", "mcopy", "truncate", "dd"})
                 .empty()) {
            return;
        }
        folder_ = new test::TempDir;
        const fs::path disk = folder_->path() / "disk.img";
        const fs::path photo[4] = {dataPath("jpeg/jfif_exif_160x120.jpg"),
                                   dataPath("jpeg/camera_640x480.jpg"), dataPath("jpeg/camera_320x240.jpg"),
                                   dataPath("jpeg/jfif_plain_200x150.jpg")};
        built_ =
            test::makeBlankImage(disk, 72 << 20) &&
            test::writeTable(
                disk, {{2048, 8192, "1"}, {10240, 32768, "6"}, {43008, 81920, "c"}, {124928, 16384, "7"}}) &&
            test::makeFat(disk, 2048, 8192, 12, "ONE") && test::makeFat(disk, 10240, 32768, 16, "TWO") &&
            test::makeFat(disk, 43008, 81920, 32, "THREE") && test::copyIntoFat(disk, 2048, photo[0]) &&
            test::copyIntoFat(disk, 10240, photo[1]) && test::copyIntoFat(disk, 43008, photo[2]) &&
            test::makeNtfs(disk, 124928, 16384, "FOUR", {photo[3]});
        for (const fs::path& path : photo)
            photos_.push_back(readFile(path));
        image_ = disk.string();
    }

    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }

    void SetUp() override {
        SKIP_WITHOUT_TOOLS("sfdisk", "mkfs.vfat", "mkntfs", "ntfscp", "mcopy", "truncate", "dd");
        ASSERT_TRUE(built_) << "building the disk image failed";
        std::string whyNot;
        medium = openImage(image_, whyNot);
        ASSERT_TRUE(medium) << whyNot;
        list = selectCurrentMedium(*medium);
        rows = partitionRows(list, medium->size);
    }

    std::unique_ptr<MediaReader> medium;
    PartitionList list;
    std::vector<PartitionRow> rows;

    static inline test::TempDir* folder_ = nullptr;
    static inline bool built_ = false;
    static inline std::string image_;
    static inline std::vector<std::vector<uint8_t>> photos_;
};

TEST_F(PhotoDisk, EachPartitionGivesBackOnlyItsOwnPhoto) {
    ASSERT_EQ(rows.size(), 4u);
    const char* labels[4] = {"ONE", "TWO", "THREE", "FOUR"};
    for (size_t k = 0; k < rows.size(); ++k) {
        EXPECT_EQ(rows[k].label, labels[k]);
        const PartitionRecord* partition = partitionToRecover(rows, k);
        ASSERT_NE(partition, nullptr);
        const auto recovery =
            test::recoverRange(*medium, partition->offset, partition->size, test::onlyFamilies({"jpg"}));
        ASSERT_EQ(recovery.result, kScanFinished) << labels[k];
        ASSERT_EQ(recovery.files.size(), 1u) << labels[k];
        EXPECT_EQ(recovery.files.begin()->second, photos_[k]) << labels[k];
    }
}

// Over the whole disk every photo is found. A photo followed by free space
// and then another volume's metadata may run on to the last end marker found
// there; recovering its partition alone ends it at the partition's end.
TEST_F(PhotoDisk, TheWholeImageFindsEveryPhoto) {
    const auto recovery = test::recoverRange(*medium, 0, 0, test::onlyFamilies({"jpg"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    ASSERT_EQ(recovery.files.size(), 4u);
    size_t k = 0;
    for (const auto& [name, bytes] : recovery.files) {
        const auto& photo = photos_[k++];
        ASSERT_GE(bytes.size(), photo.size()) << name;
        EXPECT_TRUE(std::equal(photo.begin(), photo.end(), bytes.begin())) << name;
    }
}

}  // namespace
}  // namespace salvora

// Which physical disk a destination folder lives on, on the running system.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "media/memory_reader.h"
#include "media/sysfs_block.h"
#include "recovery_app/core/destination_check.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// The device node of the whole disk that holds `folder`, or "" when it is
// not on a disk (tmpfs, overlay without a disk, ...).
std::string diskNodeHolding(const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return "";
    const auto disks = sysfs::wholeDisksUnder("/sys", sysfs::deviceNumberText(info.st_dev));
    if (disks.size() != 1)
        return "";
    const std::string dir = sysfs::blockDirectory("/sys", *disks.begin());
    const std::string node = sysfs::devicePathOf(dir);
    return fs::exists(node) ? node : "";
}

std::unique_ptr<MediaReader> diskAt(const std::string& devicePath) {
    auto reader = std::make_unique<MemoryReader>(std::vector<uint8_t>(512, 0));
    reader->devicePath = devicePath;
    return reader;
}

TEST(DestinationOnDisk, FolderOnTheRecoveredDiskIsFoundEvenBeforeItExists) {
    test::TempDir dir;
    const std::string node = diskNodeHolding(dir.path());
    if (node.empty())
        GTEST_SKIP() << "the temporary folder is not on a disk here";
    const auto disk = diskAt(node);
    EXPECT_TRUE(destinationOnDisk(dir.path().string(), *disk));
    EXPECT_TRUE(destinationOnDisk((dir.path() / "not" / "yet" / "made").string(), *disk));
}

TEST(DestinationOnDisk, FolderOnAnotherFileSystemIsAccepted) {
    test::TempDir dir;
    const std::string node = diskNodeHolding(dir.path());
    if (node.empty())
        GTEST_SKIP() << "the temporary folder is not on a disk here";
    if (diskNodeHolding("/dev/shm") == node || !fs::exists("/dev/shm"))
        GTEST_SKIP() << "no memory file system";
    EXPECT_FALSE(destinationOnDisk("/dev/shm/saved", *diskAt(node)));
}

TEST(DestinationOnDisk, ImageFilesHoldNoDestination) {
    test::TempDir dir;
    const fs::path image = dir.path() / "card.img";
    test::writeFile(image, std::vector<uint8_t>(4096, 0));
    EXPECT_FALSE(destinationOnDisk(dir.path().string(), *diskAt(image.string())));
}

}  // namespace
}  // namespace salvora

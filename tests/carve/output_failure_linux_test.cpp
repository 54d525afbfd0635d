// Output failures of a whole scan that need POSIX to provoke: a full disk
// (a small tmpfs) and a file size limit (EFBIG).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "carve/scan_families.h"
#include "carve/small_tmpfs.h"

namespace salvora {
namespace {

using namespace scan_test;

// A full disk ends the scan with the system's text; the files saved before
// stay whole and the file being written is removed. The destination is a
// small file system of its own, filled up to its last page.
TEST(OutputFailure, FullDiskEndsTheScanAndKeepsEarlierFiles) {
    // Written when it is kept / while it is followed (beyond the memory head).
    for (uint32_t secondLength : {600u, 9u << 20}) {
        test::SmallTmpfs disk(64 * 1024);
        if (!disk.mounted())
            GTEST_SKIP() << "mounting a tmpfs needs root";
        test::writeFile(disk.dir().path() / "filler.bin", std::vector<uint8_t>(60 * 1024, 'f'));
        std::vector<uint8_t> image(12 << 20, 0);
        putHeader(image, 4096, "HDR", 'a', 1000);
        putHeader(image, 65536, "HDR", 'b', secondLength);
        TestMedium medium(image);
        Observer observer;
        const Scan result = scan(medium, disk.dir(), observer);
        EXPECT_EQ(result.result, kScanWriteFailed) << secondLength;
        EXPECT_EQ(lastErrorText(), std::strerror(ENOSPC));
        EXPECT_EQ(result.counter, 1u);
        EXPECT_EQ(disk.dir().fileNames(), (std::vector<std::string>{"KV00000.hdr", "filler.bin"}))
            << secondLength;
        EXPECT_EQ(test::readFile(disk.dir().path() / "KV00000.hdr"),
                  std::vector<uint8_t>(image.begin() + 4096, image.begin() + 4096 + 1000));
    }
}

// A file larger than the destination allows (EFBIG) ends there and is judged
// on what reached the disk; the scan goes on with the next file, which takes
// the number the dropped one left.
TEST(OutputFailure, FileTooLargeEndsThatFileAndTheScanGoesOn) {
    std::vector<uint8_t> image(4 << 20, 0);
    putHeader(image, 4096, "HDR", 'a', 1000);
    putHeader(image, 65536, "HDR", 'b', 1 << 20);  // beyond the limit: dropped as cut short
    putHeader(image, 3 << 20, "HDR", 'c', 2000);
    test::TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{256 * 1024, 256 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        TestMedium medium(image);
        SearchSpace space;
        initFromPartition(space, medium, 0, 0);
        Observer observer;
        uint32_t counter = 0;
        const int32_t result = runScan(medium, dir.folder(), families(), space, 0, observer, counter);
        _exit(result == kScanFinished && counter == 2 ? 0 : 10 + result);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hdr", "KV00001.hdr"}));
    EXPECT_EQ(test::readFile(dir.path() / "KV00001.hdr"),
              std::vector<uint8_t>(image.begin() + (3 << 20), image.begin() + (3 << 20) + 2000));
}

}  // namespace
}  // namespace salvora

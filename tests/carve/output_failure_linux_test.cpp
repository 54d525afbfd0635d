// Output failures that need POSIX to provoke: a full disk (/dev/full) and a
// file size limit (EFBIG).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "carve/scan_families.h"

namespace salvora {
namespace {

using namespace scan_test;

// A full disk (writes go to /dev/full) ends the scan with the system's text;
// the files saved before stay whole and the file being written is removed.
TEST(OutputFailure, FullDiskEndsTheScanAndKeepsEarlierFiles) {
    for (uint32_t secondLength : {600u, 3u << 20}) {  // flushed when closed / while written
        std::vector<uint8_t> image(8 << 20, 0);
        putHeader(image, 4096, "HDR", 'a', 1000);
        putHeader(image, 65536, "HDR", 'b', secondLength);
        TestMedium medium(image);
        test::TempDir dir;
        std::filesystem::create_symlink("/dev/full", dir.path() / "KV00001.hdr");
        Observer observer;
        const Scan result = scan(medium, dir, observer);
        EXPECT_EQ(result.result, kScanWriteFailed) << secondLength;
        EXPECT_EQ(lastErrorText(), std::strerror(ENOSPC));
        EXPECT_EQ(result.counter, 1u);
        EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hdr"})) << secondLength;
        EXPECT_EQ(test::readFile(dir.path() / "KV00000.hdr"),
                  std::vector<uint8_t>(image.begin() + 4096, image.begin() + 4096 + 1000));
    }
}

// A file larger than the destination allows (EFBIG) ends there and is judged
// on what was written; the scan goes on with the next file.
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

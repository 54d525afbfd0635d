#include "carve/scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "carve/scan_families.h"
#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "media/bytes.h"
#include "media/error_text.h"
#include "media/memory_reader.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using namespace scan_test;

TEST(Scan, BlockSize512ExaminesA897BlockWindowPerRefill) {
    std::vector<uint8_t> image(2 << 20, 0);
    putHeader(image, 512, "HDR", 'a', 512);
    putHeader(image, 1024, "HDR", 'b', 512);
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    // Once the files are behind it, the carving pass refills every 459,264
    // bytes: 897 blocks of 512 bytes, the last with 65536 bytes of look-ahead.
    const auto& reads = medium.reads;
    ASSERT_GE(reads.size(), 4u);
    for (size_t i = reads.size() - 3; i < reads.size(); ++i)
        EXPECT_EQ(reads[i] - reads[i - 1], 459264u);
}

// The look-ahead carried over each refill and the blocks after a saved
// file are kept in memory, not read again: each pass reads the medium about
// once (reading the look-ahead again would add an eighth).
TEST(Scan, EachPassReadsTheMediumOnce) {
    std::vector<uint8_t> image(4 << 20, 0);
    // Too few files for the discovery pass to end early: both passes read it all.
    for (size_t at = 65536; at < image.size(); at += 1 << 20)
        putHeader(image, at, "HDR", 'r', 300000);
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    EXPECT_EQ(observer.saved.size(), 4u);
    EXPECT_GE(medium.bytesRead, 2 * image.size());
    EXPECT_LE(medium.bytesRead, 2 * image.size() + 524288);
    EXPECT_EQ(medium.misplacedBuffers, 0);
}

// Media that end at, just after, or well after the end of a refill: the
// file at the end comes back whole, and nothing is read as missing.
TEST(Scan, FileAtTheEndOfTheMediumComesBackWholeWhereverTheMediumEnds) {
    for (const size_t size : {size_t{524288}, size_t{524288 + 512}, size_t{524288 + 458752}, size_t{1} << 20,
                              size_t{(1 << 20) + 4096}}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> image(size, 0);
        const size_t at = size - 131072;
        putHeader(image, at, "HDR", 'e', 131072);
        for (size_t i = at + 512; i < size; ++i)
            image[i] = static_cast<uint8_t>(i * 13 + i / 509);
        TestMedium medium(image);
        test::TempDir dir;
        Observer observer;
        ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
        ASSERT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hdr"}));
        const auto file = test::readFile(dir.path() / "KV00000.hdr");
        EXPECT_EQ(file, std::vector<uint8_t>(image.begin() + static_cast<std::ptrdiff_t>(at), image.end()));
    }
}

TEST(Scan, FilesComeBackNumberedCutAndCounted) {
    std::vector<uint8_t> image(256 * 1024, 0);
    putHeader(image, 4096, "HDR", 'a', 1300);
    putHeader(image, 8192, "HDR", 'b', 700);
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    const Scan result = scan(medium, dir, observer);
    ASSERT_EQ(result.result, kScanFinished);
    EXPECT_EQ(result.counter, 2u);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hdr", "KV00001.hdr"}));
    const auto first = test::readFile(dir.path() / "KV00000.hdr");
    EXPECT_EQ(first, std::vector<uint8_t>(image.begin() + 4096, image.begin() + 4096 + 1300));
    EXPECT_EQ(observer.counts, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(observer.saved[1].startOffset, 8192u);
    EXPECT_EQ(observer.saved[1].size, 700u);
}

TEST(Scan, ProgressRunsForwardFromZeroToTheEnd) {
    std::vector<uint8_t> image(1 << 20, 0);
    for (size_t at = 65536; at < image.size(); at += 131072)
        putHeader(image, at, "HDR", 'p', 2000);
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    ASSERT_FALSE(observer.percents.empty());
    EXPECT_EQ(observer.percents.front(), 0);
    EXPECT_GE(observer.percents.back(), 90);
    for (size_t i = 1; i < observer.percents.size(); ++i) {
        ASSERT_GE(observer.percents[i], observer.percents[i - 1] - 1) << "progress went back at step " << i;
    }
}

TEST(Scan, HeaderHoldoffHidesHeadersInTheFirst8192Bytes) {
    std::vector<uint8_t> image(128 * 1024, 0);
    putHeader(image, 0, "HLD", 'h', 0);
    putHeader(image, 4096, "HDR", 'x', 512);   // inside the holdoff: part of the HLD file
    putHeader(image, 16384, "HDR", 'y', 512);  // after it: a file of its own
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hld", "KV00001.hdr"}));
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.hld").size(), 16384u);
}

TEST(Scan, BlockCheckEndingOnTheThirdBlockClosesAtThreeBlocks) {
    std::vector<uint8_t> image(128 * 1024, 0);
    putHeader(image, 512, "STP", 's', 0);
    putHeader(image, 1024 * 9, "HDR", 'z', 512);  // keeps the block size at 512
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    gSizesAtEndCheck.clear();
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    ASSERT_FALSE(gSizesAtEndCheck.empty());
    EXPECT_EQ(gSizesAtEndCheck.front(), 3u * 512);
}

// Regression: the last block of a medium whose size is not a whole number of
// blocks is padded with zeros; the padding is not part of a recovered file.
TEST(Scan, FileRunningToTheEndOfTheMediumKeepsNoPadding) {
    std::vector<uint8_t> image(1300, 'm');
    putHeader(image, 0, "STP", 's', 0);
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.stp"), image);
}

TEST(Scan, ConsecutiveHeadersMakeAOneBlockFirstFile) {
    std::vector<uint8_t> image(128 * 1024, 0);
    putHeader(image, 512, "STP", 'a', 0);
    putHeader(image, 1024, "STP", 'b', 0);
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    gSizesAtEndCheck.clear();
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    ASSERT_EQ(gSizesAtEndCheck.size(), 2u);
    EXPECT_EQ(gSizesAtEndCheck[0], 512u);
    EXPECT_EQ(gSizesAtEndCheck[1], 3u * 512);
}

// A file interrupted by another one is followed again once the other's blocks are gone.
TEST(Scan, InterruptedFileIsRecoveredAroundTheFileInsideIt) {
    std::vector<uint8_t> image(64 * 1024, 0);
    putHeader(image, 512 * 10, "HDR", 'x', 3 * 512);
    putHeader(image, 512 * 11, "HDR", 'y', 512);
    fillBlock(image, 12, 'X');
    fillBlock(image, 13, 'Z');
    putHeader(image, 512 * 1, "HDR", 'k', 512);  // keeps the block size at 512
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    ASSERT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hdr", "KV00001.hdr", "KV00002.hdr"}));
    const auto x = test::readFile(dir.path() / "KV00002.hdr");
    ASSERT_EQ(x.size(), 3u * 512);
    EXPECT_TRUE(std::equal(x.begin(), x.begin() + 512, image.begin() + 512 * 10));
    EXPECT_TRUE(std::equal(x.begin() + 512, x.end(), image.begin() + 512 * 12));
    EXPECT_EQ(test::readFile(dir.path() / "KV00001.hdr"),
              std::vector<uint8_t>(image.begin() + 512 * 11, image.begin() + 512 * 12));
}

TEST(Scan, MediumWithoutHeadersUsesBlockSize65536) {
    std::vector<uint8_t> image(300000, 0);
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    EXPECT_EQ(observer.percents.size(), 5u);  // blocks at 0, 64K, 128K, 192K, 256K
}

// Regression: a read failure in the middle of a file deleted what had been
// recovered of it; it stays as written, marked partial.
TEST(Scan, ReadFailureEndsTheScanAndKeepsTheUnfinishedFileMarkedPartial) {
    std::vector<uint8_t> image(2 << 20, 0);
    // Ten files first, so that the discovery pass ends before the bad area.
    for (int i = 0; i < 10; ++i)
        putHeader(image, 512 + 1024 * i, "HDR", static_cast<char>('a' + i), 600);
    // The files start at 512 + 1024 k: so do the blocks.
    const size_t cutAt = 800 * 1024 + 512;
    putHeader(image, cutAt, "HDR", 'z', 1 << 20);  // runs across the failing refill
    for (size_t at = cutAt + 64; at < image.size(); ++at)
        image[at] = static_cast<uint8_t>(at * 7 + at / 251);
    TestMedium medium(image);
    medium.failFrom = 900 * 1024;
    test::TempDir dir;
    Observer observer;
    const Scan result = scan(medium, dir, observer);
    EXPECT_EQ(result.result, kScanReadFailed);
    EXPECT_EQ(lastErrorText().rfind("Error in ReadFile.\nError Code:5", 0), 0u) << lastErrorText();
    ASSERT_EQ(dir.fileNames().size(), 11u);
    EXPECT_EQ(result.counter, 11u);
    ASSERT_EQ(observer.saved.size(), 11u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_FALSE(observer.saved[i].partial);
    const SavedFile& cut = observer.saved.back();
    EXPECT_TRUE(cut.partial);
    EXPECT_EQ(cut.startOffset, cutAt);
    // Every byte read before the failure is there, nothing after it.
    EXPECT_GT(cut.size, 64u * 1024);
    EXPECT_LT(cut.size, 1u << 20);
    const auto kept = test::readFile(dir.path() / "KV00010.hdr");
    ASSERT_EQ(kept.size(), cut.size);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), image.begin() + cutAt));
}

TEST(Scan, MissingDestinationFailsWithTheSystemsText) {
    std::vector<uint8_t> image(64 * 1024, 0);
    putHeader(image, 0, "HDR", 'a', 600);
    TestMedium medium(image);
    SearchSpace space;
    initFromPartition(space, medium, 0, 0);
    Observer observer;
    uint32_t counter = 0;
    clearLastErrorText();
    EXPECT_EQ(runScan(medium, "/nonexistent-folder/sub/", families(), space, 0, observer, counter),
              kScanCreateFailed);
    EXPECT_EQ(lastErrorText(), std::strerror(ENOENT));
    EXPECT_TRUE(space.empty());
}

TEST(Scan, StopRequestEndsTheScanAndRemovesTheFileInProgress) {
    std::vector<uint8_t> image(1 << 20, 0);
    putHeader(image, 512, "HDR", 'a', 600);
    putHeader(image, 1024 + 512, "HLD", 'b', 0);  // runs to the end of the medium
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    observer.stopAfterBlocks = 100;
    EXPECT_EQ(scan(medium, dir, observer).result, kScanStopped);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hdr"}));
}

// Regression: a second recovery into the same folder numbered from 0 again
// and overwrote the first recovery's files.
TEST(Scan, SecondScanIntoTheSameFolderKeepsTheFilesAlreadyThere) {
    std::vector<uint8_t> image(64 * 1024, 0);
    putHeader(image, 4096, "HDR", 'a', 1000);
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    test::writeFile(dir.path() / "KV00000.hdr", std::vector<uint8_t>(5000, 'q'));
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hdr", "KV00001.hdr", "KV00002.hdr"}));
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.hdr"), std::vector<uint8_t>(5000, 'q'));
    const std::vector<uint8_t> file(image.begin() + 4096, image.begin() + 4096 + 1000);
    EXPECT_EQ(test::readFile(dir.path() / "KV00001.hdr"), file);
    EXPECT_EQ(test::readFile(dir.path() / "KV00002.hdr"), file);
}

// Regression: the first read of a pass was not checked, so an unreadable
// medium was scanned as zeros and the scan reported that it had finished.
TEST(Scan, FirstReadFailingInTheDiscoveryPassEndsTheScanAsAReadFailure) {
    std::vector<uint8_t> image(1 << 20, 0);
    putHeader(image, 4096, "HDR", 'a', 1000);
    TestMedium medium(image);
    medium.failRead = 1;
    test::TempDir dir;
    Observer observer;
    const Scan result = scan(medium, dir, observer);
    EXPECT_EQ(result.result, kScanReadFailed);
    EXPECT_EQ(lastErrorText().rfind("Error in ReadFile.\nError Code:5", 0), 0u) << lastErrorText();
    EXPECT_EQ(result.counter, 0u);
    EXPECT_TRUE(dir.fileNames().empty());
    EXPECT_EQ(observer.carvingStarts, 0);
}

TEST(Scan, FirstReadFailingInTheCarvingPassEndsTheScanAsAReadFailure) {
    std::vector<uint8_t> image(1 << 20, 0);
    // Ten files in the first read: the discovery pass reads once.
    for (int i = 0; i < 10; ++i)
        putHeader(image, 4096 * (i + 1), "HDR", static_cast<char>('a' + i), 600);
    TestMedium medium(image);
    medium.failRead = 2;
    test::TempDir dir;
    Observer observer;
    const Scan result = scan(medium, dir, observer);
    EXPECT_EQ(result.result, kScanReadFailed);
    EXPECT_EQ(lastErrorText().rfind("Error in ReadFile.\nError Code:5", 0), 0u) << lastErrorText();
    EXPECT_EQ(medium.reads.size(), 2u);
    EXPECT_EQ(result.counter, 0u);
    EXPECT_TRUE(dir.fileNames().empty());
}

// Fewer than ten files: the discovery pass reads on until the medium fails.
// What it read is carved all the same, and the result still says that the
// medium could not be read to its end.
TEST(Scan, DiscoveryPassHittingAReadErrorStillCarvesWhatItRead) {
    std::vector<uint8_t> image(4 << 20, 0);
    const size_t starts[] = {4096, 12288, 20480};
    for (size_t at : starts)
        putHeader(image, at, "HDR", static_cast<char>('a' + at / 4096), 3000);
    TestMedium medium(image);
    medium.failFrom = 1 << 20;
    test::TempDir dir;
    Observer observer;
    const Scan result = scan(medium, dir, observer);
    EXPECT_EQ(result.result, kScanReadFailed);
    EXPECT_EQ(lastErrorText().rfind("Error in ReadFile.\nError Code:5", 0), 0u) << lastErrorText();
    ASSERT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hdr", "KV00001.hdr", "KV00002.hdr"}));
    for (size_t i = 0; i < 3; ++i) {
        const std::string name = "KV0000" + std::to_string(i) + ".hdr";
        EXPECT_EQ(test::readFile(dir.path() / name),
                  std::vector<uint8_t>(image.begin() + starts[i], image.begin() + starts[i] + 3000))
            << name;
    }
    // The discovery pass told how far it got, refill by refill.
    EXPECT_EQ(observer.discoveryStarts, 1);
    EXPECT_EQ(observer.discoveryOffsets, (std::vector<uint64_t>{459264, 918528, 1377792}));
    EXPECT_EQ(observer.carvingStarts, 1);
}

TEST(Scan, DiscoveryPassStoppedStillCarvesWhatItRead) {
    std::vector<uint8_t> image(4 << 20, 0);
    putHeader(image, 4096, "HDR", 'a', 3000);
    putHeader(image, 3 << 20, "HDR", 'b', 3000);  // not read before the stop
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    observer.stopAfterDiscoveryReports = 1;
    const Scan result = scan(medium, dir, observer);
    EXPECT_EQ(result.result, kScanStopped);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hdr"}));
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.hdr"),
              std::vector<uint8_t>(image.begin() + 4096, image.begin() + 4096 + 3000));
    for (uint64_t read : medium.reads)
        EXPECT_LT(read, 3u << 20) << "read beyond what the discovery pass covered";
}

TEST(Scan, SavedFilesTellWhereTheirBytesLieOnTheMedium) {
    std::vector<uint8_t> image(256 * 1024, 0);
    putHeader(image, 8192, "HDR", 'a', 1300);
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    ASSERT_EQ(observer.saved.size(), 1u);
    const SavedFile& file = observer.saved[0];
    ASSERT_EQ(file.runs.size(), 1u);
    EXPECT_EQ(file.runs[0].offset, 8192u);
    EXPECT_EQ(file.runs[0].length, 1300u);
    EXPECT_FALSE(file.partial);
    EXPECT_EQ(file.path, dir.folder() + "KV00000.hdr");
}

}  // namespace
}  // namespace salvora

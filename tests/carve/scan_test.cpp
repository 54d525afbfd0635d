#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "carve/scan.h"
#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "media/bytes.h"
#include "media/error_text.h"
#include "media/memory_reader.h"
#include "support/test_files.h"

namespace salvora {
namespace {

// A made-up format: a block starting "HDR", an id byte and a le32 length;
// the file is that many bytes. Its checks are the shared ones.
const uint8_t kHdr[] = {'H', 'D', 'R'};
uint32_t recogniseHdr(const uint8_t* window, uint32_t length, uint32_t, const CarveCandidate&,
                      CarveCandidate& fresh) {
    resetCandidate(fresh);
    fresh.extension = "hdr";
    fresh.expectedSize = Bytes(window, length).le32(4);
    fresh.blockCheck = blockCheckUntilExpected;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}
void registerHdr(FamilyTally& tally) { registerSignature(0, kHdr, 3, recogniseHdr, tally); }

// Another made-up format with a header holdoff: "HLD", runs until the next header.
const uint8_t kHld[] = {'H', 'L', 'D'};
uint32_t recogniseHld(const uint8_t*, uint32_t, uint32_t, const CarveCandidate&, CarveCandidate& fresh) {
    resetCandidate(fresh);
    fresh.extension = "hld";
    return 1;
}
void registerHld(FamilyTally& tally) { registerSignature(0, kHld, 3, recogniseHld, tally); }

// "STP": a file whose block check ends it on its third block.
const uint8_t kStp[] = {'S', 'T', 'P'};
uint32_t stopOnThird(const uint8_t*, uint32_t, CarveCandidate& candidate) {
    return candidate.size == 2 * 512 ? 2 : 1;
}
std::vector<uint64_t> gSizesAtEndCheck;
void recordSize(CarveCandidate& candidate) { gSizesAtEndCheck.push_back(candidate.size); }
uint32_t recogniseStp(const uint8_t*, uint32_t, uint32_t, const CarveCandidate&, CarveCandidate& fresh) {
    resetCandidate(fresh);
    fresh.extension = "stp";
    fresh.blockCheck = stopOnThird;
    fresh.endCheck = recordSize;
    return 1;
}
void registerStp(FamilyTally& tally) { registerSignature(0, kStp, 3, recogniseStp, tally); }

const FileFamily kHdrFamily{"hdr", "", 0, 0, 1, 1, registerHdr};
const FileFamily kHldFamily{"hld", "", 8192, 0, 1, 1, registerHld};
const FileFamily kStpFamily{"stp", "", 0, 0, 1, 1, registerStp};

EnabledFamilies families() {
    return {{1, &kHdrFamily}, {1, &kHldFamily}, {1, &kStpFamily}, {0, nullptr}};
}

void putHeader(std::vector<uint8_t>& image, size_t at, const char* magic, char id, uint32_t length) {
    std::memcpy(image.data() + at, magic, 3);
    image[at + 3] = static_cast<uint8_t>(id);
    for (int i = 0; i < 4; ++i) image[at + 4 + i] = static_cast<uint8_t>(length >> (8 * i));
    for (size_t i = 8; i < 512 && at + i < image.size(); ++i) image[at + i] = static_cast<uint8_t>(id);
}

void fillBlock(std::vector<uint8_t>& image, size_t block, char fill) {
    std::memset(image.data() + block * 512, fill, 512);
}

// A medium that reports how it was read and can fail at a chosen offset.
class TestMedium : public MemoryReader {
public:
    using MemoryReader::MemoryReader;
    std::vector<uint64_t> reads;
    uint64_t failFrom = UINT64_MAX;

protected:
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override {
        reads.push_back(offset);
        if (offset >= failFrom) {
            recordReadFailure(5, "Input/output error");
            return 0;
        }
        return MemoryReader::deviceRead(buffer, count, offset);
    }
};

class Observer : public ScanObserver {
public:
    std::vector<int> percents;
    std::vector<SavedFile> saved;
    std::vector<uint32_t> counts;
    int stopAfterBlocks = -1;
    void progress(int percent, uint64_t) override { percents.push_back(percent); }
    void fileSaved(uint32_t keptCount, const SavedFile& file) override {
        counts.push_back(keptCount);
        saved.push_back(file);
    }
    bool stopRequested() override { return stopAfterBlocks >= 0 && static_cast<int>(percents.size()) >= stopAfterBlocks; }
};

struct Scan {
    int32_t result;
    uint32_t counter = 0;
};

Scan scan(MediaReader& medium, const test::TempDir& dir, Observer& observer) {
    SearchSpace space;
    initFromPartition(space, medium, 0, 0);
    Scan out;
    clearLastErrorText();
    out.result = runScan(medium, dir.folder(), families(), space, 0, observer, out.counter);
    EXPECT_TRUE(space.empty());
    return out;
}

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
    for (size_t i = reads.size() - 3; i < reads.size(); ++i) EXPECT_EQ(reads[i] - reads[i - 1], 459264u);
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
    for (size_t at = 65536; at < image.size(); at += 131072) putHeader(image, at, "HDR", 'p', 2000);
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

TEST(Scan, ReadFailureEndsTheScanKeepsSavedFilesAndRemovesTheUnfinishedOne) {
    std::vector<uint8_t> image(2 << 20, 0);
    // Ten files first, so that the discovery pass ends before the bad area.
    for (int i = 0; i < 10; ++i) putHeader(image, 512 + 1024 * i, "HDR", static_cast<char>('a' + i), 600);
    putHeader(image, 800 * 1024, "HDR", 'z', 512 * 1024);  // runs across the failing refill
    TestMedium medium(image);
    medium.failFrom = 900 * 1024;
    test::TempDir dir;
    Observer observer;
    const Scan result = scan(medium, dir, observer);
    EXPECT_EQ(result.result, kScanReadFailed);
    EXPECT_EQ(lastErrorText().rfind("Error in ReadFile.\nError Code:5", 0), 0u) << lastErrorText();
    EXPECT_EQ(dir.fileNames().size(), 10u);
    EXPECT_EQ(dir.fileNames().back(), "KV00009.hdr");
    EXPECT_EQ(result.counter, 10u);
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

TEST(Scan, SecondScanIntoTheSameFolderNumbersFromZeroAndOverwrites) {
    std::vector<uint8_t> image(64 * 1024, 0);
    putHeader(image, 4096, "HDR", 'a', 1000);
    TestMedium medium(image);
    test::TempDir dir;
    Observer observer;
    test::writeFile(dir.path() / "KV00000.hdr", std::vector<uint8_t>(5000, 'q'));
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    ASSERT_EQ(scan(medium, dir, observer).result, kScanFinished);
    EXPECT_EQ(dir.fileNames(), (std::vector<std::string>{"KV00000.hdr"}));
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.hdr").size(), 1000u);
}

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

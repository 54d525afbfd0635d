// Made-up file families and a test medium for the scan loop's tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "carve/scan.h"
#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "media/bytes.h"
#include "media/error_text.h"
#include "media/memory_reader.h"
#include "support/test_files.h"

namespace salvora::scan_test {

// A made-up format: a block starting "HDR", an id byte and a le32 length;
// the file is that many bytes. Its checks are the shared ones.
inline const uint8_t kHdr[] = {'H', 'D', 'R'};
inline uint32_t recogniseHdr(const uint8_t* window, uint32_t length, uint32_t, const CarveCandidate&,
                             CarveCandidate& fresh) {
    resetCandidate(fresh);
    fresh.extension = "hdr";
    fresh.expectedSize = Bytes(window, length).le32(4);
    fresh.blockCheck = blockCheckUntilExpected;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}
inline void registerHdr(FamilyTally& tally) {
    registerSignature(0, kHdr, 3, recogniseHdr, tally);
}

// Another made-up format with a header holdoff: "HLD", runs until the next header.
inline const uint8_t kHld[] = {'H', 'L', 'D'};
inline uint32_t recogniseHld(const uint8_t*, uint32_t, uint32_t, const CarveCandidate&,
                             CarveCandidate& fresh) {
    resetCandidate(fresh);
    fresh.extension = "hld";
    return 1;
}
inline void registerHld(FamilyTally& tally) {
    registerSignature(0, kHld, 3, recogniseHld, tally);
}

// "STP": a file whose block check ends it on its third block.
inline const uint8_t kStp[] = {'S', 'T', 'P'};
inline BlockVerdict stopOnThird(const uint8_t*, uint32_t, CarveCandidate& candidate) {
    return candidate.size == 2 * 512 ? BlockVerdict::kFileEnds : BlockVerdict::kContinue;
}
inline std::vector<uint64_t> gSizesAtEndCheck;
inline void recordSize(CarveCandidate& candidate) {
    gSizesAtEndCheck.push_back(candidate.size);
}
inline uint32_t recogniseStp(const uint8_t*, uint32_t, uint32_t, const CarveCandidate&,
                             CarveCandidate& fresh) {
    resetCandidate(fresh);
    fresh.extension = "stp";
    fresh.blockCheck = stopOnThird;
    fresh.endCheck = recordSize;
    return 1;
}
inline void registerStp(FamilyTally& tally) {
    registerSignature(0, kStp, 3, recogniseStp, tally);
}

inline const FileFamily kHdrFamily{"hdr", "", 0, 0, OutputMode::kWrite, 1, registerHdr};
inline const FileFamily kHldFamily{"hld", "", 8192, 0, OutputMode::kWrite, 1, registerHld};
inline const FileFamily kStpFamily{"stp", "", 0, 0, OutputMode::kWrite, 1, registerStp};

inline EnabledFamilies families() {
    return {{1, &kHdrFamily}, {1, &kHldFamily}, {1, &kStpFamily}, {0, nullptr}};
}

inline void putHeader(std::vector<uint8_t>& image, size_t at, const char* magic, char id, uint32_t length) {
    std::memcpy(image.data() + at, magic, 3);
    image[at + 3] = static_cast<uint8_t>(id);
    for (int i = 0; i < 4; ++i)
        image[at + 4 + i] = static_cast<uint8_t>(length >> (8 * i));
    for (size_t i = 8; i < 512 && at + i < image.size(); ++i)
        image[at + i] = static_cast<uint8_t>(id);
}

inline void fillBlock(std::vector<uint8_t>& image, size_t block, char fill) {
    std::memset(image.data() + block * 512, fill, 512);
}

// A medium that reports how it was read and can fail at a chosen offset, or
// on a chosen read (counting from 1).
class TestMedium : public MemoryReader {
  public:
    using MemoryReader::MemoryReader;
    std::vector<uint64_t> reads;
    uint64_t bytesRead = 0;  // bytes asked for, over all reads
    // Reads whose buffer did not lie on the same place within a 512-byte
    // sector as the offset read (the kernel's copy into such a buffer can
    // be several times slower).
    int misplacedBuffers = 0;
    uint64_t failFrom = UINT64_MAX;
    size_t failRead = 0;

  protected:
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override {
        reads.push_back(offset);
        bytesRead += count;
        if ((reinterpret_cast<uintptr_t>(buffer) - offset) % 512 != 0)
            ++misplacedBuffers;
        if (offset >= failFrom || reads.size() == failRead) {
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
    std::vector<uint64_t> discoveryOffsets;  // every discovery progress report
    int discoveryStarts = 0;
    int carvingStarts = 0;
    int stopAfterBlocks = -1;
    int stopAfterDiscoveryReports = -1;  // stops the discovery pass only
    void discoveryStarted(uint64_t, uint64_t) override { ++discoveryStarts; }
    void discoveryProgress(uint64_t offset) override { discoveryOffsets.push_back(offset); }
    void progressStarted(uint64_t, uint64_t) override { ++carvingStarts; }
    void progress(int percent, uint64_t) override { percents.push_back(percent); }
    void fileSaved(uint32_t keptCount, const SavedFile& file) override {
        counts.push_back(keptCount);
        saved.push_back(file);
    }
    bool stopRequested() override {
        if (carvingStarts == 0)
            return stopAfterDiscoveryReports >= 0 &&
                   static_cast<int>(discoveryOffsets.size()) >= stopAfterDiscoveryReports;
        return stopAfterBlocks >= 0 && static_cast<int>(percents.size()) >= stopAfterBlocks;
    }
};

struct Scan {
    int32_t result;
    uint32_t counter = 0;
};

inline Scan scan(MediaReader& medium, const test::TempDir& dir, Observer& observer) {
    SearchSpace space;
    initFromPartition(space, medium, 0, 0);
    Scan out;
    clearLastErrorText();
    out.result = runScan(medium, dir.folder(), families(), space, 0, observer, out.counter);
    EXPECT_TRUE(space.empty());
    return out;
}

}  // namespace salvora::scan_test

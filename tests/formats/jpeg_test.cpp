#include "formats/jpeg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "carve/signature_registry.h"
#include "formats/family_table.h"
#include "support/test_files.h"

namespace salvora {
namespace {

std::vector<uint8_t> window() {
    return std::vector<uint8_t>(65536, 0);
}

// Writes a marker segment of total length 2 + length at `at`; returns the next position.
size_t segment(std::vector<uint8_t>& w, size_t at, uint8_t code, uint16_t length) {
    w[at] = 0xFF;
    w[at + 1] = code;
    w[at + 2] = static_cast<uint8_t>(length >> 8);
    w[at + 3] = static_cast<uint8_t>(length);
    return at + 2 + length;
}

std::vector<uint8_t> startOfImage() {
    auto w = window();
    w[0] = 0xFF;
    w[1] = 0xD8;
    return w;
}

uint32_t recognise(const std::vector<uint8_t>& w, const CarveCandidate& current, CarveCandidate& fresh) {
    return recogniseJpeg(w.data(), static_cast<uint32_t>(w.size()), 0, current, fresh);
}

TEST(RecogniseJpeg, OtherMarkerAfterTheHeaderSegmentsGivesMinSize288) {
    auto w = startOfImage();
    size_t at = segment(w, 2, 0xE0, 16);
    at = segment(w, at, 0xDB, 67);
    segment(w, at, 0xC0, 17);
    CarveCandidate none, fresh;
    ASSERT_EQ(recognise(w, none, fresh), 1u);
    EXPECT_STREQ(fresh.extension, "jpg");
    EXPECT_EQ(fresh.minSize, 288u);
    EXPECT_EQ(fresh.expectedSize, 2u);
    EXPECT_EQ(fresh.blockCheck, blockCheckJpeg);
    EXPECT_EQ(fresh.endCheck, endCheckJpeg);
}

TEST(RecogniseJpeg, HeaderSegmentsRunningPast3072GiveTheirStopAsMinSize) {
    auto w = startOfImage();
    size_t at = 2;
    while (at < 3072)
        at = segment(w, at, 0xE1, 1000);
    CarveCandidate none, fresh;
    ASSERT_EQ(recognise(w, none, fresh), 1u);
    EXPECT_EQ(fresh.minSize, at);
    EXPECT_GE(fresh.minSize, 3072u);
}

TEST(RecogniseJpeg, NonMarkerByteAtASegmentStartRefuses) {
    auto w = startOfImage();
    segment(w, 2, 0xE0, 16);
    w[20] = 0x12;  // where the next marker must start
    CarveCandidate none, fresh;
    EXPECT_EQ(recognise(w, none, fresh), 0u);
}

TEST(RecogniseJpeg, RefusesInsideInDesignAndMotionJpegFramesInsideRiff) {
    auto w = startOfImage();
    const uint8_t avi1[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'A', 'V', 'I', '1'};
    std::memcpy(w.data(), avi1, sizeof avi1);
    segment(w, 20, 0xC0, 17);
    FamilyTally indd{familyByExtension("indd"), nullptr};
    FamilyTally riff{familyByExtension("riff"), nullptr};
    CarveCandidate current, fresh;
    current.tally = &riff;
    EXPECT_EQ(recognise(w, current, fresh), 0u);
    w[12] = 1;  // no longer the exact 20-byte prefix
    EXPECT_EQ(recognise(w, current, fresh), 1u);
    current.tally = &indd;
    EXPECT_EQ(recognise(w, current, fresh), 0u);
}

TEST(BlockCheckJpeg, WalksSegmentsUntilTheStartOfScanThenStops) {
    const uint32_t block = 512;
    std::vector<uint8_t> w(2 * block, 0);
    // The current block is the file's first: it starts at window index 512.
    size_t at = block + 2;
    at = segment(w, at, 0xE1, 100);
    at = segment(w, at, 0xDB, 67);
    segment(w, at, 0xDA, 12);
    CarveCandidate file;
    file.expectedSize = 2;
    file.blockCheck = blockCheckJpeg;
    EXPECT_EQ(blockCheckJpeg(w.data(), 2 * block, file), BlockVerdict::kContinue);
    EXPECT_EQ(file.blockCheck, nullptr);
    EXPECT_EQ(file.expectedSize, 0u);
}

TEST(BlockCheckJpeg, BrokenMarkerChainEndsTheFile) {
    const uint32_t block = 512;
    std::vector<uint8_t> w(2 * block, 0);
    segment(w, block + 2, 0xE1, 100);
    w[block + 104] = 0x00;
    CarveCandidate file;
    file.expectedSize = 2;
    EXPECT_EQ(blockCheckJpeg(w.data(), 2 * block, file), BlockVerdict::kFileEnds);
}

TEST(BlockCheckJpeg, SegmentBeyondTheWindowWaitsForTheNextBlock) {
    const uint32_t block = 512;
    std::vector<uint8_t> w(2 * block, 0);
    segment(w, block + 2, 0xE1, 2000);  // the next marker lies 2002 bytes into the file
    CarveCandidate file;
    file.expectedSize = 2;
    file.blockCheck = blockCheckJpeg;
    EXPECT_EQ(blockCheckJpeg(w.data(), 2 * block, file), BlockVerdict::kContinue);
    EXPECT_EQ(file.expectedSize, 2004u);
    EXPECT_NE(file.blockCheck, nullptr);
}

TEST(Registration, OnlyTheThreeSignaturesReachTheRecogniser) {
    SignatureRegistry registry;
    registry.build({{1, familyByExtension("jpg")}, {0, nullptr}});
    auto w = startOfImage();
    w[2] = 0xFF;
    w[3] = 0xDB;  // quantisation table first: not a signature
    segment(w, segment(w, 2, 0xDB, 67), 0xC0, 17);
    CarveCandidate none, fresh;
    EXPECT_EQ(registry.findHeader(w.data(), 65536, 0, none, fresh), nullptr);
    w[3] = 0xFE;
    EXPECT_NE(registry.findHeader(w.data(), 65536, 0, none, fresh), nullptr);
}

}  // namespace
}  // namespace salvora

// The JPEG entropy-coded data validator on real files: whole files decode to
// their end-of-image marker, in any pieces, and a copy taken where the data
// runs out goes on with other bytes without touching the original. Damage is
// found where it is. The verdicts are judged against djpeg in
// jpeg_entropy_linux_test.cpp.
#include "formats/jpeg_entropy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "formats/jpeg_huffman.h"
#include "support/test_files.h"

namespace salvora {
namespace {

std::vector<std::string> jpegFiles() {
    std::vector<std::string> names;
    for (const char* folder : {"jpeg", "jpeg/scans", "samples"}) {
        for (const auto& entry : std::filesystem::directory_iterator(test::dataPath(folder))) {
            if (entry.path().extension() == ".jpg")
                names.push_back(std::string(folder) + "/" + entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Where the main image of a whole test file ends: the end of the file, but
// for the one sample that carries a trailer after its end-of-image marker
// (exiftool -v3 reports "Unknown trailer (3913 bytes at offset 0x56b1)").
uint64_t imageEnd(const std::string& name, const std::vector<uint8_t>& bytes) {
    return name == "samples/ExifTool.jpg" ? 0x56B1 : bytes.size();
}

JpegDataCheck validate(const std::vector<uint8_t>& bytes) {
    return validateJpegData(bytes.data(), bytes.size());
}

// Offset of the first entropy-coded byte: just after the first SOS segment.
size_t scanDataStart(const std::vector<uint8_t>& bytes) {
    for (size_t i = 2; i + 4 <= bytes.size(); i += 2 + (bytes[i + 2] << 8 | bytes[i + 3])) {
        if (bytes[i + 1] == 0xDA)
            return i + 2 + (bytes[i + 2] << 8 | bytes[i + 3]);
    }
    return 0;
}

std::string verdictName(JpegDataVerdict verdict) {
    switch (verdict) {
        case JpegDataVerdict::kNeedMore:
            return "need more";
        case JpegDataVerdict::kValid:
            return "valid";
        case JpegDataVerdict::kBadData:
            return "bad data";
        case JpegDataVerdict::kUnsupported:
            return "unsupported";
    }
    return "?";
}

TEST(JpegHuffmanTable, LuminanceDcTableOfTheStandardDecodesItsCodes) {
    // ITU-T T.81 Table K.3: code lengths and codes of the DC luminance categories.
    const std::array<uint8_t, 16> counts = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t symbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    HuffmanTable table;
    ASSERT_TRUE(table.build(counts, symbols, 12));
    const std::pair<const char*, int> codes[] = {
        {"00", 0},   {"010", 1},   {"011", 2},    {"100", 3},     {"101", 4},       {"110", 5},
        {"1110", 6}, {"11110", 7}, {"111110", 8}, {"1111110", 9}, {"11111110", 10}, {"111111110", 11},
    };
    for (const auto& [code, category] : codes) {
        const int length = static_cast<int>(std::strlen(code));
        // The code, followed by ones and by zeros: what follows must not matter.
        for (const uint32_t after : {0u, 0xFFFFu}) {
            uint32_t bits = static_cast<uint32_t>(std::stoul(code, nullptr, 2)) << (16 - length);
            bits |= after >> length;
            const HuffmanTable::Match match = table.match(bits & 0xFFFF);
            EXPECT_EQ(match.length, length) << code;
            EXPECT_EQ(match.symbol, category) << code;
        }
    }
    // Nine ones start no code: known after the ninth bit.
    const HuffmanTable::Match none = table.match(0xFF80);
    EXPECT_EQ(none.symbol, -1);
    EXPECT_EQ(none.length, 9);
}

TEST(JpegHuffmanTable, CountsThatOverflowTheirLengthsAreRefused) {
    const uint8_t symbols[4] = {1, 2, 3, 4};
    HuffmanTable table;
    EXPECT_FALSE(table.build({3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, symbols, 4))
        << "three 1-bit codes";
    EXPECT_FALSE(table.build({0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, symbols, 0))
        << "symbols missing";
    EXPECT_TRUE(table.build({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, symbols, 4));
}

TEST(JpegEntropy, EveryWholeFileIsValidToItsEndOfImage) {
    const auto names = jpegFiles();
    ASSERT_GE(names.size(), 35u);
    for (const std::string& name : names) {
        const auto bytes = test::readFile(test::dataPath(name));
        const JpegDataCheck check = validate(bytes);
        EXPECT_EQ(verdictName(check.verdict), "valid") << name << " at " << check.offset;
        EXPECT_EQ(check.offset, imageEnd(name, bytes)) << name;
    }
}

// Splits of the file in two pieces at every byte (headers, markers,
// stuffing and restart markers straddling the boundary), and the file one
// byte at a time: the same verdict.
TEST(JpegEntropy, PiecesOfAnySizeGiveTheSameVerdict) {
    for (const char* name : {"jpeg/scans/small_progressive_restart.jpg", "jpeg/scans/small_restart_422.jpg",
                             "samples/Canon.jpg"}) {
        const auto bytes = test::readFile(test::dataPath(name));
        for (size_t split = 0; split < bytes.size(); ++split) {
            JpegEntropyValidator validator;
            const JpegDataCheck first = validator.feed(bytes.data(), split);
            ASSERT_EQ(first.verdict, JpegDataVerdict::kNeedMore) << name << " split at " << split;
            ASSERT_EQ(first.offset, split);
            const JpegDataCheck whole = validator.feed(bytes.data() + split, bytes.size() - split);
            ASSERT_EQ(verdictName(whole.verdict), "valid") << name << " split at " << split;
            ASSERT_EQ(whole.offset, bytes.size()) << name << " split at " << split;
        }
        JpegEntropyValidator bytewise;
        for (const uint8_t& byte : bytes)
            bytewise.feed(&byte, 1);
        EXPECT_EQ(verdictName(bytewise.result().verdict), "valid") << name;
        EXPECT_EQ(bytewise.result().offset, bytes.size()) << name;
    }
}

// The join search keeps the state where a first fragment ends and tries
// other data on copies of it: the copies must not disturb the original,
// including the coefficient history of progressive refinement scans.
TEST(JpegEntropy, CopiesTakenWhereTheDataEndsGoOnIndependently) {
    std::mt19937 random(7);
    for (const char* name : {"jpeg/scans/progressive_444.jpg", "jpeg/scans/baseline_420.jpg",
                             "jpeg/scans/progressive_restart.jpg"}) {
        const auto bytes = test::readFile(test::dataPath(name));
        const size_t start = scanDataStart(bytes);
        for (size_t cut = start + 100; cut < bytes.size(); cut += 997) {
            JpegEntropyValidator first;
            ASSERT_EQ(first.feed(bytes.data(), cut).verdict, JpegDataVerdict::kNeedMore);
            for (int attempt = 0; attempt < 4; ++attempt) {
                JpegEntropyValidator candidate = first;
                std::vector<uint8_t> other(4096);
                for (uint8_t& byte : other)
                    byte = static_cast<uint8_t>(random());
                const JpegDataCheck tried = candidate.feed(other.data(), other.size());
                EXPECT_NE(tried.verdict, JpegDataVerdict::kValid) << name << " cut at " << cut;
            }
            const JpegDataCheck rest = first.feed(bytes.data() + cut, bytes.size() - cut);
            EXPECT_EQ(verdictName(rest.verdict), "valid") << name << " cut at " << cut;
        }
    }
}

// The join of a two-fragment photo: the first fragment ends at a cluster
// boundary inside the scan; of the clusters that may follow it, only the
// photo's own continuation decodes to the end of image. A wrong cluster
// (another photo's scan data from the same encoder, or a free zeroed one)
// followed by the right data fails, because the MCUs no longer end where
// the data does.
TEST(JpegEntropy, OnlyTheRightClusterContinuesAFragmentToItsEnd) {
    const auto photo = test::readFile(test::dataPath("jpeg/camera_640x480.jpg"));
    const auto other = test::readFile(test::dataPath("jpeg/camera_320x240.jpg"));
    constexpr size_t kCluster = 4096;
    const size_t fragmentEnd = (scanDataStart(photo) / kCluster + 2) * kCluster;
    JpegEntropyValidator first;
    ASSERT_EQ(first.feed(photo.data(), fragmentEnd).verdict, JpegDataVerdict::kNeedMore);
    const std::vector<uint8_t> rest(photo.begin() + static_cast<std::ptrdiff_t>(fragmentEnd), photo.end());
    std::vector<std::vector<uint8_t>> wrong;
    for (size_t at = scanDataStart(other); at + kCluster <= other.size(); at += kCluster)
        wrong.emplace_back(other.begin() + static_cast<std::ptrdiff_t>(at),
                           other.begin() + static_cast<std::ptrdiff_t>(at + kCluster));
    wrong.emplace_back(kCluster, uint8_t{0});
    ASSERT_GE(wrong.size(), 3u);
    for (size_t i = 0; i < wrong.size(); ++i) {
        JpegEntropyValidator candidate = first;
        candidate.feed(wrong[i].data(), wrong[i].size());
        candidate.feed(rest.data(), rest.size());
        EXPECT_EQ(verdictName(candidate.finish().verdict), "bad data") << "wrong cluster " << i;
    }
    JpegEntropyValidator right = first;
    const JpegDataCheck joined = right.feed(rest.data(), rest.size());
    EXPECT_EQ(verdictName(joined.verdict), "valid");
    EXPECT_EQ(joined.offset, photo.size());
}

// Bytes overwritten by random data inside the scans: the verdict is bad data
// at or after the first overwritten byte (one before it when the damage
// turns a stuffed 0xFF 0x00 into a marker).
TEST(JpegEntropy, OverwrittenScanDataIsFoundAtOrAfterTheDamage) {
    std::mt19937 random(11);
    for (const char* name : {"jpeg/scans/baseline_444.jpg", "jpeg/scans/progressive_420.jpg",
                             "jpeg/scans/restart_rows.jpg", "jpeg/camera_640x480.jpg"}) {
        const auto bytes = test::readFile(test::dataPath(name));
        const size_t start = scanDataStart(bytes);
        for (int copy = 0; copy < 60; ++copy) {
            auto damaged = bytes;
            const size_t at = start + random() % (bytes.size() - start - 600);
            for (size_t i = at; i < at + 512; ++i)
                damaged[i] = static_cast<uint8_t>(random());
            const JpegDataCheck check = validate(damaged);
            ASSERT_EQ(verdictName(check.verdict), "bad data") << name << " damaged at " << at;
            EXPECT_GE(check.offset + 1, at) << name;
        }
    }
}

TEST(JpegEntropy, BrokenStructureIsReportedWhereItBreaks) {
    const auto original = test::readFile(test::dataPath("jpeg/scans/restart_rows.jpg"));
    // The first restart marker, counted by hand from the scan data start.
    const size_t start = scanDataStart(original);
    size_t firstRestart = start;
    while (!(original[firstRestart] == 0xFF && original[firstRestart + 1] == 0xD0))
        ++firstRestart;

    auto outOfOrder = original;
    outOfOrder[firstRestart + 1] = 0xD1;
    EXPECT_EQ(validate(outOfOrder).verdict, JpegDataVerdict::kBadData);
    EXPECT_EQ(validate(outOfOrder).offset, firstRestart);

    // The data cut inside the scan and an end-of-image marker right there.
    std::vector<uint8_t> early(original.begin(),
                               original.begin() + static_cast<std::ptrdiff_t>(start + 1000));
    while (early.back() == 0xFF)
        early.pop_back();
    const size_t cut = early.size();
    early.push_back(0xFF);
    early.push_back(0xD9);
    EXPECT_EQ(validate(early).verdict, JpegDataVerdict::kBadData);
    EXPECT_EQ(validate(early).offset, cut);

    // Bytes after the last MCU, before the end-of-image marker.
    auto extra = original;
    extra.insert(extra.end() - 2, {0x12, 0x34, 0x56});
    EXPECT_EQ(validate(extra).verdict, JpegDataVerdict::kBadData);
    EXPECT_EQ(validate(extra).offset, original.size() - 2);

    // No end-of-image marker at all: the data ends first.
    const std::vector<uint8_t> noEnd(original.begin(), original.end() - 2);
    EXPECT_EQ(validate(noEnd).verdict, JpegDataVerdict::kBadData);
    EXPECT_EQ(validate(noEnd).offset, noEnd.size());

    // Not a JPEG at all.
    const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(validate(text).verdict, JpegDataVerdict::kBadData);
    EXPECT_EQ(validate(text).offset, 0u);
}

TEST(JpegEntropy, ArithmeticCodedFramesAreNotJudged) {
    auto bytes = test::readFile(test::dataPath("jpeg/scans/baseline_420.jpg"));
    size_t frame = 2;
    while (bytes[frame + 1] != 0xC0)
        frame += 2 + (bytes[frame + 2] << 8 | bytes[frame + 3]);
    bytes[frame + 1] = 0xC9;  // SOF9: extended sequential, arithmetic coding
    const JpegDataCheck check = validate(bytes);
    EXPECT_EQ(check.verdict, JpegDataVerdict::kUnsupported);
    EXPECT_EQ(check.offset, frame);
}

}  // namespace
}  // namespace salvora

// Expert Witness images made by ewfacquire at test time, read as media: the
// same bytes as the raw image they were acquired from, the medium's size and
// sector size, the hashes stored at acquisition (judged by md5sum and
// sha1sum), and damaged images: a corrupt chunk, a truncated segment, a
// missing segment.
#include <gtest/gtest.h>

#include <filesystem>

#include "media/error_text.h"
#include "media/ewf_reader.h"
#include "media/image_reader.h"
#include "media/keep_going_reader.h"
#include "support/disk_images.h"
#include "support/evidence_images.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// ewfacquire's default chunk: 64 sectors of 512 bytes.
constexpr uint64_t kChunk = 32768;
constexpr size_t kMediumSize = 4 << 20;

class EvidenceImage : public ::testing::Test {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_TOOLS("ewfacquire", "md5sum", "sha1sum", "sha256sum");
        if (!canReadEvidenceImages())
            GTEST_SKIP() << "this build has no libewf";
        // Noise with a photo and zeros: some chunks compress, some do not.
        test::ImageBuilder image(kMediumSize);
        image.noise(0, kMediumSize / 2, 7);
        image.place(1 << 20, test::readFile(test::dataPath("jpeg/camera_640x480.jpg")));
        medium = image.bytes();
        raw = dir.path() / "card.img";
        test::writeFile(raw, medium);
    }

    std::vector<fs::path> acquire(const std::string& name, const std::string& options = "") {
        std::string log;
        const auto segments = test::acquireEvidence(raw, dir.path() / name, options, &log);
        EXPECT_FALSE(segments.empty()) << log;
        return segments;
    }

    std::unique_ptr<MediaReader> open(const fs::path& path, ImageDescription& described) {
        std::string why;
        auto reader = openImage(path.string(), why, &described);
        EXPECT_TRUE(reader) << why;
        return reader;
    }

    // Reads the whole medium in refills of 512 KiB, as the scan does.
    void expectSameBytes(MediaReader& reader) {
        ASSERT_EQ(reader.size, medium.size());
        std::vector<uint8_t> block(524288);
        for (uint64_t at = 0; at < medium.size(); at += block.size()) {
            ASSERT_EQ(reader.readAt(block.data(), static_cast<uint32_t>(block.size()), at), 524288) << at;
            ASSERT_TRUE(std::equal(block.begin(), block.end(), medium.begin() + at)) << at;
        }
        std::vector<uint8_t> odd(1000);
        ASSERT_EQ(reader.readAt(odd.data(), 1000, kChunk - 300), 1000) << "a read across a chunk boundary";
        EXPECT_TRUE(std::equal(odd.begin(), odd.end(), medium.begin() + kChunk - 300));
    }

    test::TempDir dir;
    fs::path raw;
    std::vector<uint8_t> medium;
};

TEST_F(EvidenceImage, OneSegmentHoldsTheRawImagesBytesAndItsAcquisitionHashes) {
    const auto segments = acquire("case", "-d sha1");
    ASSERT_EQ(segments.size(), 1u);
    ImageDescription described;
    auto reader = open(segments[0], described);
    ASSERT_TRUE(reader);
    EXPECT_EQ(described.format, ImageFormat::kExpertWitness);
    EXPECT_EQ(described.files, std::vector<std::string>{segments[0].string()});
    EXPECT_EQ(described.incomplete, "");
    EXPECT_EQ(reader->sectorSize, 512u);
    EXPECT_EQ(reader->cylinders, kMediumSize / 512);
    EXPECT_EQ(reader->devicePath, segments[0].string());
    ASSERT_EQ(described.acquiredHashes.size(), 2u);
    EXPECT_EQ(described.acquiredHashes[0].type, "md5");
    EXPECT_EQ(described.acquiredHashes[0].hex, test::digestBy("md5sum", raw));
    EXPECT_EQ(described.acquiredHashes[1].type, "sha1");
    EXPECT_EQ(described.acquiredHashes[1].hex, test::digestBy("sha1sum", raw));
    expectSameBytes(*reader);
}

TEST_F(EvidenceImage, SegmentsAreFoundBesideTheFirstOrAnyOneNamed) {
    const auto segments = acquire("case", "-S 1048576");
    ASSERT_GE(segments.size(), 4u);
    for (const fs::path& named : {segments.front(), segments[2]}) {
        ImageDescription described;
        auto reader = open(named, described);
        ASSERT_TRUE(reader);
        ASSERT_EQ(described.files.size(), segments.size());
        EXPECT_EQ(described.files.back(), segments.back().string());
        expectSameBytes(*reader);
    }
}

// Reads of every size at scattered offsets, back and forth, as the carve loop
// and the recognisers make them: each must give the raw image's bytes,
// whether its chunks were read before or not.
TEST_F(EvidenceImage, ScatteredReadsGiveTheRawImagesBytes) {
    const auto segments = acquire("case", "-S 1048576");
    ImageDescription described;
    auto reader = open(segments.at(0), described);
    ASSERT_TRUE(reader);
    uint64_t state = 88172645463325252ull;
    const auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    std::vector<uint8_t> buffer(3 << 20);
    for (int i = 0; i < 400; ++i) {
        const uint64_t offset = next() % kMediumSize;
        const uint32_t count =
            static_cast<uint32_t>(i % 4 == 0 ? next() % buffer.size() + 1 : next() % 70000 + 1);
        const auto expected = static_cast<int32_t>(std::min<uint64_t>(count, kMediumSize - offset));
        ASSERT_EQ(reader->readAt(buffer.data(), count, offset), expected) << offset << " " << count;
        ASSERT_TRUE(std::equal(buffer.begin(), buffer.begin() + expected, medium.begin() + offset))
            << offset << " " << count;
    }
}

TEST_F(EvidenceImage, CompressedChunksReadTheSame) {
    const auto segments = acquire("packed", "-c deflate:best");
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_LT(fs::file_size(segments[0]), kMediumSize * 3 / 4) << "the zeros were compressed";
    ImageDescription described;
    auto reader = open(segments[0], described);
    ASSERT_TRUE(reader);
    expectSameBytes(*reader);
}

TEST_F(EvidenceImage, SectorSizeComesFromTheImage) {
    const auto segments = acquire("big", "-P 4096");
    ImageDescription described;
    auto reader = open(segments.at(0), described);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->sectorSize, 4096u);
    EXPECT_EQ(reader->cylinders, kMediumSize / 4096);
    expectSameBytes(*reader);
}

// Content, not the name, tells the format.
TEST_F(EvidenceImage, RenamedSegmentStillOpensAsEvidence) {
    const auto segments = acquire("case");
    const fs::path renamed = dir.path() / "evidence.img";
    fs::rename(segments.at(0), renamed);
    ImageDescription described;
    auto reader = open(renamed, described);
    ASSERT_TRUE(reader);
    EXPECT_EQ(described.format, ImageFormat::kExpertWitness);
    expectSameBytes(*reader);
}

TEST_F(EvidenceImage, CorruptChunkIsAReadFailureNamingItsBytes) {
    const auto segments = acquire("case");
    // Damage the chunk that holds medium bytes 1 MiB to 1 MiB + 32 KiB - 1.
    const std::vector<uint8_t> pattern(medium.begin() + (1 << 20) + 1000, medium.begin() + (1 << 20) + 1064);
    ASSERT_TRUE(test::damageCopyOf(segments.at(0), pattern));
    ImageDescription described;
    auto reader = open(segments[0], described);
    ASSERT_TRUE(reader);
    EXPECT_EQ(described.incomplete, "") << "the segment's structure is whole";
    std::vector<uint8_t> block(524288, 0xee);
    EXPECT_EQ(reader->readAt(block.data(), 524288, 0), 524288) << "the chunks before it are fine";
    clearLastErrorText();
    EXPECT_EQ(reader->readAt(block.data(), 524288, 1 << 20), 0);
    EXPECT_EQ(lastErrorText(),
              "Error in ReadFile.\nError Code:5\nDescription:Cannot read offset 1048576 of the "
              "evidence image " +
                  segments[0].string() +
                  ": the chunk holding bytes 1048576 to 1081343 is damaged (its checksum does "
                  "not match its data).");
    EXPECT_EQ(block[0], 0) << "nothing of a failed read is delivered";
    clearLastErrorText();
    // Read again (libewf may keep the chunk cached): still a failure.
    EXPECT_EQ(reader->readAt(block.data(), 4096, (1 << 20) + 8192), 0);
    EXPECT_EQ(reader->readAt(block.data(), 4096, (1 << 20) + kChunk), 4096) << "the next chunk is fine";
    clearLastErrorText();
}

// With --keep-going the scan reads around the damaged chunk like around bad
// sectors: exactly that chunk's bytes are unreadable.
TEST_F(EvidenceImage, KeepGoingReadsAroundACorruptChunk) {
    const auto segments = acquire("case");
    const std::vector<uint8_t> pattern(medium.begin() + (1 << 20) + 1000, medium.begin() + (1 << 20) + 1064);
    ASSERT_TRUE(test::damageCopyOf(segments.at(0), pattern));
    ImageDescription described;
    auto inner = open(segments[0], described);
    ASSERT_TRUE(inner);
    KeepGoingReader reader(*inner);
    std::vector<uint8_t> all(kMediumSize);
    for (uint64_t at = 0; at < kMediumSize; at += 524288)
        ASSERT_EQ(reader.readAt(all.data() + at, 524288, at), 524288) << at;
    const auto unreadable = reader.unreadable();
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].offset, 1048576u);
    EXPECT_EQ(unreadable[0].length, kChunk);
    EXPECT_TRUE(std::equal(all.begin(), all.begin() + (1 << 20), medium.begin()));
    EXPECT_TRUE(std::equal(all.begin() + (1 << 20) + kChunk, all.end(), medium.begin() + (1 << 20) + kChunk));
    clearLastErrorText();
}

TEST_F(EvidenceImage, TruncatedSegmentOpensAsIncompleteAndItsMissingDataFails) {
    const auto segments = acquire("case");
    fs::resize_file(segments.at(0), 3000000);
    ImageDescription described;
    auto reader = open(segments[0], described);
    ASSERT_TRUE(reader);
    EXPECT_EQ(
        described.incomplete.rfind("the segment case.E01 is truncated: it has 3000000 bytes, its sections go "
                                   "on to byte ",
                                   0),
        0u)
        << described.incomplete;
    std::vector<uint8_t> block(524288);
    clearLastErrorText();
    // The chunk table lies after the chunks: without it no chunk can be found.
    EXPECT_EQ(reader->readAt(block.data(), 524288, 0), 0);
    EXPECT_NE(lastErrorText().find("case.E01 is truncated"), std::string::npos) << lastErrorText();
    clearLastErrorText();
}

TEST_F(EvidenceImage, MissingSegmentIsNamedAndOnlyItsDataFails) {
    const auto segments = acquire("case", "-S 1048576");
    ASSERT_GE(segments.size(), 4u);
    fs::remove(segments[2]);
    ImageDescription described;
    auto reader = open(segments[0], described);
    ASSERT_TRUE(reader);
    EXPECT_EQ(described.incomplete, "the segment case.E03 is missing");
    EXPECT_EQ(described.files.size(), 2u) << "the set is known up to the gap";
    std::vector<uint8_t> block(65536);
    EXPECT_EQ(reader->readAt(block.data(), 65536, 0), 65536);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), medium.begin()));
    clearLastErrorText();
    EXPECT_EQ(reader->readAt(block.data(), 65536, kMediumSize - 65536), 0);
    EXPECT_NE(lastErrorText().find("is not in the image, the segment case.E03 is missing."),
              std::string::npos)
        << lastErrorText();
    clearLastErrorText();
}

TEST_F(EvidenceImage, LastSegmentMissingIsNamed) {
    const auto segments = acquire("case", "-S 1048576");
    ASSERT_GE(segments.size(), 2u);
    const std::string lastName = segments.back().filename().string();
    fs::remove(segments.back());
    ImageDescription described;
    auto reader = open(segments[0], described);
    ASSERT_TRUE(reader);
    EXPECT_EQ(described.incomplete, "the segment " + lastName + " is missing");
}

}  // namespace
}  // namespace salvora

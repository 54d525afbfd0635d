#include "formats/mp3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "carve/shared_checks.h"
#include "formats/candidate_driver.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::carve;
using test::follow;
using test::recogniseWindow;

std::vector<uint8_t> data(const std::string& name) {
    return test::readFile(test::dataPath(name));
}

void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}
void append(std::vector<uint8_t>& to, const std::string& text) {
    to.insert(to.end(), text.begin(), text.end());
}

// An ID3v2.3 tag of `size` bytes after its header (zeros: padding).
std::vector<uint8_t> id3Tag(uint32_t size, uint8_t version = 3, uint8_t flags = 0) {
    std::vector<uint8_t> tag{'I', 'D', '3', version, 0, flags};
    for (int shift : {21, 14, 7, 0})
        tag.push_back(static_cast<uint8_t>(size >> shift & 0x7F));
    tag.resize(10 + size, 0);
    return tag;
}

// `count` MPEG-1 Layer III frames, 128 kbit/s at 44.1 kHz, without padding
// (417 bytes each), filled with a byte that starts nothing; other headers
// give frames of their own length.
std::vector<uint8_t> frames(int count, uint8_t b1 = 0xFB, uint8_t b2 = 0x90) {
    std::vector<uint8_t> bytes;
    const uint32_t length = std::max(mpegFrameLength(b1, b2), 417u);  // free format: as if 417
    for (int i = 0; i < count; ++i) {
        const size_t at = bytes.size();
        bytes.resize(at + length, 0x55);
        bytes[at] = 0xFF;
        bytes[at + 1] = b1;
        bytes[at + 2] = b2;
        bytes[at + 3] = 0x64;
    }
    return bytes;
}

std::vector<uint8_t> id3v1Tag() {
    std::vector<uint8_t> tag{'T', 'A', 'G'};
    tag.resize(128, 'x');
    return tag;
}

// What a recovery keeps of `media` when a file starts at its first byte.
int64_t carvedMp3(const std::vector<uint8_t>& media, uint32_t blockSize) {
    int64_t size = carve(recogniseId3, media, blockSize);
    if (size < 0)
        size = carve(recogniseMpegAudio, media, blockSize);
    return size;
}

TEST(MpegFrameLength, FollowsTheStandardTablesOfAllVersionsAndLayers) {
    EXPECT_EQ(mpegFrameLength(0xFB, 0x90), 417u);   // MPEG-1 III, 128 kbit/s, 44.1 kHz
    EXPECT_EQ(mpegFrameLength(0xFB, 0x92), 418u);   // with padding
    EXPECT_EQ(mpegFrameLength(0xFB, 0xE4), 960u);   // 320 kbit/s, 48 kHz
    EXPECT_EQ(mpegFrameLength(0xF3, 0x40), 104u);   // MPEG-2 III, 32 kbit/s, 22.05 kHz: 72 x R / F
    EXPECT_EQ(mpegFrameLength(0xE3, 0x20), 104u);   // MPEG-2.5 III, 16 kbit/s, 11.025 kHz
    EXPECT_EQ(mpegFrameLength(0xE3, 0xE8), 1440u);  // MPEG-2.5 III, 160 kbit/s, 8 kHz
    EXPECT_EQ(mpegFrameLength(0xFD, 0x94), 480u);   // MPEG-1 II, 160 kbit/s, 48 kHz
    EXPECT_EQ(mpegFrameLength(0xF5, 0xE8), 1440u);  // MPEG-2 II, 160 kbit/s, 16 kHz: 144 x R / F
    EXPECT_EQ(mpegFrameLength(0xFF, 0xC0), 416u);   // MPEG-1 I, index 12 = 384 kbit/s, 44.1 kHz
    EXPECT_EQ(mpegFrameLength(0xF7, 0xEA), 772u);   // MPEG-2 I, 256 kbit/s, 16 kHz, padded
}

TEST(MpegFrameLength, IsZeroForHeadersThatCannotBeFollowed) {
    EXPECT_EQ(mpegFrameLength(0xFB, 0x00), 0u);  // free format
    EXPECT_EQ(mpegFrameLength(0xFB, 0xF0), 0u);  // bit-rate index 15
    EXPECT_EQ(mpegFrameLength(0xFB, 0x9C), 0u);  // sample-rate index 3
    EXPECT_EQ(mpegFrameLength(0xEB, 0x90), 0u);  // reserved version
    EXPECT_EQ(mpegFrameLength(0xF9, 0x90), 0u);  // reserved layer
}

TEST(MpegFrameLength, EveryHeaderGivesZeroOrALengthAFrameCanHave) {
    for (int b1 = 0; b1 < 256; ++b1) {
        for (int b2 = 0; b2 < 256; ++b2) {
            const uint32_t length = mpegFrameLength(static_cast<uint8_t>(b1), static_cast<uint8_t>(b2));
            if (length == 0)
                continue;
            EXPECT_GE(length, 24u) << b1 << " " << b2;
            EXPECT_LE(length, 2881u) << b1 << " " << b2;
        }
    }
}

// The frames LAME wrote must chain from the first to the trailing tag or the end.
TEST(MpegFrameLength, ChainsThroughTheFramesOfRealFiles) {
    const struct {
        const char* name;
        size_t first;
        size_t end;
    } files[] = {{"audio/tone_bare.mp3", 0, 3239}, {"audio/tone_id3v1.mp3", 0, 4412 - 128}};
    for (const auto& file : files) {
        const std::vector<uint8_t> bytes = data(file.name);
        size_t at = file.first;
        int count = 0;
        while (at + 3 < bytes.size() && bytes[at] == 0xFF) {
            const uint32_t length = mpegFrameLength(bytes[at + 1], bytes[at + 2]);
            ASSERT_GT(length, 0u) << file.name << " at " << at;
            at += length;
            ++count;
        }
        EXPECT_EQ(at, file.end) << file.name;
        EXPECT_GT(count, 10) << file.name;
    }
}

TEST(RecogniseId3, TakesTheTagSizeAndTheVersion4Footer) {
    CarveCandidate fresh;
    ASSERT_EQ(recogniseWindow(recogniseId3, id3Tag(0x1234), fresh), 1u);
    EXPECT_EQ(fresh.expectedSize, 0x1234u + 10);
    EXPECT_STREQ(fresh.extension, "mp3");
    EXPECT_EQ(fresh.minSize, 287u);
    EXPECT_EQ(fresh.blockCheck, &blockCheckId3Padding);
    EXPECT_EQ(fresh.endCheck, &endCheckTruncateToExpected);

    ASSERT_EQ(recogniseWindow(recogniseId3, id3Tag(100, 4, 0x10), fresh), 1u);
    EXPECT_EQ(fresh.expectedSize, 120u) << "a v2.4 footer adds 10 bytes";
    ASSERT_EQ(recogniseWindow(recogniseId3, id3Tag(100, 3, 0x10), fresh), 1u);
    EXPECT_EQ(fresh.expectedSize, 110u) << "a v2.3 tag has no footer";

    std::vector<uint8_t> largest = id3Tag(0);
    std::memset(largest.data() + 6, 0xFF, 4);  // only seven bits of each byte count
    ASSERT_EQ(recogniseWindow(recogniseId3, largest, fresh), 1u);
    EXPECT_EQ(fresh.expectedSize, (1u << 28) - 1 + 10);
}

TEST(RecogniseId3, RefusesUnknownVersionsAndRevisions) {
    CarveCandidate fresh;
    EXPECT_EQ(recogniseWindow(recogniseId3, id3Tag(10, 5), fresh), 0u);
    EXPECT_EQ(recogniseWindow(recogniseId3, id3Tag(10, 1), fresh), 0u);
    std::vector<uint8_t> revised = id3Tag(10);
    revised[4] = 1;
    EXPECT_EQ(recogniseWindow(recogniseId3, revised, fresh), 0u);
    EXPECT_EQ(fresh.extension, nullptr) << "a refusal leaves fresh alone";
}

TEST(RecogniseMpegAudio, NeedsTwoConsecutiveLayer3FramesInTheFirst2048Bytes) {
    CarveCandidate fresh;
    ASSERT_EQ(recogniseWindow(recogniseMpegAudio, frames(6), fresh), 1u);
    EXPECT_EQ(fresh.expectedSize, 5u * 417) << "the run stops at the first frame starting past 2047";
    EXPECT_EQ(fresh.blockCheck, &blockCheckMpegAudio);
    EXPECT_EQ(fresh.minSize, 287u);

    std::vector<uint8_t> lone = frames(1);
    lone.push_back(0x12);
    EXPECT_EQ(recogniseWindow(recogniseMpegAudio, lone, fresh), 0u) << "a lone header";
    EXPECT_EQ(recogniseWindow(recogniseMpegAudio, frames(6, 0xFD, 0xA4), fresh), 0u) << "Layer II";
    EXPECT_EQ(recogniseWindow(recogniseMpegAudio, frames(6, 0xFB, 0x00), fresh), 0u) << "free format";
    std::vector<uint8_t> noSync = frames(6);
    noSync[417 + 1] = 0x1B;  // FF 1B would give a length, but is no frame sync
    EXPECT_EQ(recogniseWindow(recogniseMpegAudio, noSync, fresh), 0u);
}

TEST(RecogniseMpegAudio, AcceptsTheFirstFramesOfRealFiles) {
    CarveCandidate fresh;
    EXPECT_EQ(recogniseWindow(recogniseMpegAudio, data("audio/tone_bare.mp3"), fresh), 1u);
    EXPECT_EQ(recogniseWindow(recogniseMpegAudio, data("audio/tone_id3v1.mp3"), fresh), 1u);
    const std::vector<uint8_t> tagged = data("audio/tone_id3v2.mp3");
    CarveCandidate tag;
    ASSERT_EQ(recogniseWindow(recogniseId3, tagged, tag), 1u);
    const std::vector<uint8_t> afterTag(tagged.begin() + static_cast<std::ptrdiff_t>(tag.expectedSize),
                                        tagged.end());
    EXPECT_EQ(recogniseWindow(recogniseMpegAudio, afterTag, fresh), 1u);
}

TEST(RecogniseMpegAudio, RefusesFramesInsideAnMp3InProgressButNotATag) {
    FileFamily mp3Family{"mp3", "", 0, 0, OutputMode::kWrite, 1, nullptr};
    FamilyTally tally{&mp3Family};
    CarveCandidate current;
    current.tally = &tally;
    CarveCandidate fresh;
    EXPECT_EQ(recogniseWindow(recogniseMpegAudio, frames(6), fresh, current), 0u);
    EXPECT_EQ(recogniseWindow(recogniseId3, id3Tag(100), fresh, current), 1u);
}

TEST(Mp3Stream, EndsExactlyAfterATrailingId3v1Tag) {
    std::vector<uint8_t> media = frames(8);
    append(media, id3v1Tag());
    const size_t length = media.size();
    append(media, std::string(3000, 'z'));
    for (uint32_t blockSize : {512u, 4096u, 32768u}) {
        EXPECT_EQ(carvedMp3(media, blockSize), static_cast<int64_t>(length)) << blockSize;
    }
}

TEST(Mp3Stream, FollowsLayer2FramesDuringCarving) {
    std::vector<uint8_t> media = frames(4);
    append(media, frames(5, 0xFD, 0xA4));
    const size_t length = media.size();
    append(media, std::string(2000, 'z'));
    EXPECT_EQ(carvedMp3(media, 512), static_cast<int64_t>(length));
}

TEST(Mp3Stream, EndsAtAFrameHeaderThatCannotBeFollowed) {
    std::vector<uint8_t> media = frames(8);
    const size_t length = media.size();
    append(media, frames(2, 0xFB, 0xF0));  // bit-rate index 15
    EXPECT_EQ(carvedMp3(media, 4096), static_cast<int64_t>(length));
}

TEST(Mp3Stream, StepsOverAnApeTagWithItsHeader) {
    std::vector<uint8_t> media = frames(6);
    std::vector<uint8_t> ape{'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0, 0, 100, 0, 0, 0};
    ape.resize(32 + 100, 'a');
    append(media, ape);
    append(media, frames(2));
    const size_t length = media.size();
    append(media, std::string(2000, 'z'));
    EXPECT_EQ(carvedMp3(media, 4096), static_cast<int64_t>(length));
}

std::vector<uint8_t> lyrics3(size_t length, const std::string& end) {
    std::vector<uint8_t> tag;
    append(tag, "LYRICSBEGIN");
    tag.resize(length - end.size(), 'l');
    append(tag, end);
    return tag;
}

TEST(Mp3Stream, StepsOverLyrics3TagsOfBothVersions) {
    std::vector<uint8_t> media = frames(6);
    append(media, lyrics3(800, "000789LYRICS200"));
    append(media, frames(2));
    // "LYRICS200" is only looked for in the first 4096 bytes; "LYRICSEND" in 5100.
    append(media, lyrics3(5000, "LYRICSEND"));
    append(media, id3v1Tag());
    const size_t length = media.size();
    append(media, std::string(10000, 'z'));
    EXPECT_EQ(carvedMp3(media, 32768), static_cast<int64_t>(length));
}

TEST(Mp3Stream, Lyrics3TagTooLongForItsEndMarkerEndsTheStreamAtTheTag) {
    std::vector<uint8_t> media = frames(6);
    const size_t length = media.size();
    append(media, lyrics3(5200, "LYRICSEND"));
    append(media, std::string(10000, 'z'));
    EXPECT_EQ(carvedMp3(media, 32768), static_cast<int64_t>(length));
}

// Regression: with blocks too small to show a whole Lyrics3 search in one
// window, the walk waited for data that never came and the file ran on
// (unchecked) until the next header.
TEST(Mp3Stream, Lyrics3TagWithSmallBlocksIsSteppedOverOrEndsTheStreamButNeverStallsIt) {
    std::vector<uint8_t> shortTag = frames(6);
    append(shortTag, lyrics3(300, "000280LYRICS200"));
    append(shortTag, frames(3));
    const size_t shortLength = shortTag.size();
    append(shortTag, std::string(20000, 'z'));
    EXPECT_EQ(carvedMp3(shortTag, 512), static_cast<int64_t>(shortLength));

    std::vector<uint8_t> longTag = frames(6);
    const size_t beforeTag = longTag.size();
    append(longTag, lyrics3(3000, "LYRICSEND"));
    append(longTag, std::string(20000, 'z'));
    CarveCandidate candidate;
    ASSERT_EQ(recogniseWindow(recogniseMpegAudio, longTag, candidate), 1u);
    const test::Followed followed = follow(candidate, longTag, 512);
    EXPECT_TRUE(followed.ended) << "the walk must come to a decision";
    EXPECT_EQ(candidate.expectedSize, beforeTag);
}

// Regression: the "LYRICSEND" search ran up to 5100 - 1 + 9 bytes from the
// tag while only 5100 were known to be in the window.
TEST(Mp3Stream, Lyrics3SearchNeverReadsPastTheWindow) {
    for (uint32_t blockSize : {4096u, 32768u}) {
        const uint32_t windowLength = 2 * blockSize;
        const uint64_t j = windowLength - 5105;
        std::vector<uint8_t> window(windowLength, 'l');  // exact length: ASan sees any read past it
        std::memcpy(window.data() + j, "LYRICSBEGIN", 11);
        CarveCandidate candidate;
        candidate.size = 10 * uint64_t{blockSize};
        candidate.expectedSize = candidate.size + j - blockSize;
        const uint64_t before = candidate.expectedSize;
        const BlockVerdict verdict = blockCheckMpegAudio(window.data(), windowLength, candidate);
        EXPECT_EQ(candidate.expectedSize, before) << blockSize;
        // In the current block the tag is looked at again with more behind it;
        // in the previous block the window is all there will be.
        EXPECT_EQ(verdict, j >= blockSize ? BlockVerdict::kContinue : BlockVerdict::kFileEnds) << blockSize;
    }
}

std::vector<uint8_t> jukeboxTag(uint32_t imageLength, bool leadIn, const char* footer,
                                uint64_t footerOffset) {
    std::vector<uint8_t> tag;
    if (leadIn) {
        append(tag, std::string("18273645\0\0", 10));
        tag.resize(256, 'h');
    }
    append(tag, "jpg ");
    const uint8_t length[4] = {static_cast<uint8_t>(imageLength), static_cast<uint8_t>(imageLength >> 8),
                               static_cast<uint8_t>(imageLength >> 16),
                               static_cast<uint8_t>(imageLength >> 24)};
    tag.insert(tag.end(), length, length + 4);
    tag.resize(tag.size() + imageLength, 'i');
    append(tag, std::string("\0\0\0\0"
                            "18273645"
                            "\0\0",
                            14));
    const size_t data = tag.size() - 14 + 280;
    tag.resize(data + footerOffset, 'd');
    append(tag, footer);
    tag.resize(data + footerOffset + (std::string(footer) == "TAG" ? 128 : 48), 'f');
    return tag;
}

TEST(JukeboxTagLength, MeasuresTagsWithAndWithoutLeadInUpToTheirFooter) {
    for (bool leadIn : {false, true}) {
        for (uint64_t footerOffset : {7868u, 7936u, 8004u, 8132u}) {
            for (const char* footer : {"Brava Software Inc.", "TAG"}) {
                const std::vector<uint8_t> tag = jukeboxTag(500, leadIn, footer, footerOffset);
                std::vector<uint8_t> window = tag;
                window.resize(tag.size() + 8200, 0);
                EXPECT_EQ(jukeboxTagLength(window.data(), 0, window.size()), tag.size())
                    << leadIn << " " << footerOffset << " " << footer;
            }
        }
    }
}

TEST(JukeboxTagLength, IsZeroWhenItsStructureOrFooterLiesBeyondTheWindow) {
    const std::vector<uint8_t> tag = jukeboxTag(500, false, "TAG", 8132);
    // Heap copies of the exact length: a read past them is caught.
    for (size_t cut : {size_t{5}, size_t{9}, size_t{300}, tag.size() - 130, tag.size() - 126}) {
        const std::vector<uint8_t> window(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(jukeboxTagLength(window.data(), 0, window.size()), 0u) << cut;
    }
    // The 128 bytes that follow the "TAG" footer are counted, not read.
    const std::vector<uint8_t> footerOnly(tag.begin(), tag.end() - 125);
    EXPECT_EQ(jukeboxTagLength(footerOnly.data(), 0, footerOnly.size()), tag.size());
    EXPECT_EQ(jukeboxTagLength(tag.data(), tag.size() + 5, tag.size()), 0u) << "position past the window";
}

// Regression: the image length plus the running offset was summed in 32 bits,
// so a length near 2^32 wrapped around to a small offset inside the window,
// where a planted marker and footer made a 8376-byte "tag" out of nothing.
TEST(JukeboxTagLength, HugeImageLengthDoesNotWrapToAnOffsetInTheWindow) {
    std::vector<uint8_t> window(65536, 0);
    std::memcpy(window.data(), "18273645\0\0", 10);
    std::memcpy(window.data() + 256, "jpg ", 4);
    const uint8_t length[4] = {0x5C, 0xFF, 0xFF, 0xFF};  // 256 + this + 8 = 2^32 + 100
    std::memcpy(window.data() + 260, length, 4);
    std::memcpy(window.data() + 100,
                "\0\0\0\0"
                "18273645"
                "\0\0",
                14);
    std::memcpy(window.data() + 100 + 280 + 7868, "TAG", 3);
    EXPECT_EQ(jukeboxTagLength(window.data(), 0, window.size()), 0u);
}

TEST(Mp3Stream, StepsOverAJukeboxTagWhenTheBlockBehindItIsInTheWindow) {
    std::vector<uint8_t> media = frames(20);
    const std::vector<uint8_t> tag = jukeboxTag(300, false, "Brava Software Inc.", 7936);
    append(media, tag);
    const size_t length = media.size();
    append(media, std::string(40000, 'z'));
    EXPECT_EQ(carvedMp3(media, 32768), static_cast<int64_t>(length));
}

TEST(Mp3Stream, Id3PaddingIsSteppedOverBeforeTheFrames) {
    std::vector<uint8_t> media = id3Tag(300);
    media.resize(media.size() + 700, 0);  // padding beyond the declared size
    append(media, frames(5));
    const size_t length = media.size();
    append(media, std::string(3000, 'z'));
    EXPECT_EQ(carvedMp3(media, 512), static_cast<int64_t>(length));
}

// Shifts the whole stream by one byte at a time behind an ID3 tag, so that
// every frame header, the ID3v1 tag and the end fall on every place of a
// block, including straddling two blocks.
TEST(Mp3Stream, RealStreamEndsExactlyWhereverItsStructuresFallOnTheBlocks) {
    const std::vector<uint8_t> stream = data("audio/tone_id3v1.mp3");
    for (uint32_t padding = 0; padding < 520; padding += 1) {
        std::vector<uint8_t> media = id3Tag(200 + padding);
        append(media, stream);
        const size_t length = media.size();
        append(media, std::string(600, 'z'));
        ASSERT_EQ(carvedMp3(media, 512), static_cast<int64_t>(length)) << padding;
    }
    for (uint32_t padding = 0; padding < 4100; padding += 37) {
        std::vector<uint8_t> media = id3Tag(200 + padding);
        append(media, stream);
        const size_t length = media.size();
        append(media, std::string(5000, 'z'));
        ASSERT_EQ(carvedMp3(media, 4096), static_cast<int64_t>(length)) << padding;
    }
}

TEST(Mp3Stream, FileBelow287BytesIsDropped) {
    std::vector<uint8_t> media = id3Tag(100);
    append(media, std::string(500, 'z'));
    EXPECT_EQ(carvedMp3(media, 512), 0);
}

}  // namespace
}  // namespace salvora

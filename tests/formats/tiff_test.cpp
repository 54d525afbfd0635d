#include "formats/tiff.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "formats/candidate_driver.h"
#include "formats/candidate_file.h"
#include "formats/tiff_builder.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::CandidateFile;
using test::dataPath;
using test::endCheckOn;
using test::readFile;
using test::TiffBuilder;
using test::windowOf;

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kAscii = 2;
constexpr uint16_t kIfd = 13;

std::vector<uint8_t> sample(const std::string& path) {
    return readFile(dataPath(path));
}

// The extension recogniseTiff gives the file's first bytes, or "refused".
std::string recognisedAs(const std::vector<uint8_t>& bytes) {
    const std::vector<uint8_t> window = windowOf(bytes);
    CarveCandidate current;
    CarveCandidate fresh;
    if (!recogniseTiff(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh)) {
        return "refused";
    }
    return fresh.extension;
}

uint64_t dataEnd(const std::vector<uint8_t>& bytes, uint64_t offset, bool bigEndian, uint32_t depth = 0,
                 uint32_t chain = 0) {
    CandidateFile file(bytes);
    return tiffDataEnd(file.file(), offset, bigEndian, depth, chain);
}

std::vector<uint8_t> withSlack(std::vector<uint8_t> bytes, size_t slack) {
    bytes.resize(bytes.size() + slack, 0);
    return bytes;
}

// A TIFF with a Make text at 200 (one directory, at 8 unless given).
std::vector<uint8_t> withMake(const std::string& make, uint32_t directory = 8) {
    TiffBuilder tiff(false, 512);
    tiff.firstDirectory(directory).directory(directory,
                                             {{271, kAscii, static_cast<uint32_t>(make.size() + 1), 200}});
    std::vector<uint8_t> bytes = tiff.bytes();
    std::memcpy(bytes.data() + 200, make.c_str(), make.size() + 1);
    return bytes;
}

TEST(TiffRecognition, AcceptsBothByteOrdersWithTheBlockAndEndChecks) {
    for (const char* path : {"tiff/gradient_le.tif", "tiff/gradient_be.tif"}) {
        const std::vector<uint8_t> window = windowOf(sample(path));
        CarveCandidate current;
        CarveCandidate fresh;
        ASSERT_EQ(recogniseTiff(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh), 1u)
            << path;
        EXPECT_STREQ(fresh.extension, "tif");
        EXPECT_EQ(fresh.endCheck, &endCheckTiff);
        EXPECT_EQ(fresh.blockCheck, &blockCheckTiff);
        EXPECT_EQ(fresh.expectedSize, 0u);
        EXPECT_EQ(fresh.minSize, 0u);
    }
}

TEST(TiffRecognition, RefusesWhatIsNotATiffHeaderAndLeavesTheCandidateAlone) {
    for (const std::vector<uint8_t>& bytes : {std::vector<uint8_t>{'I', 'I', 0x2B, 0x00},
                                              {'M', 'M', 0x2A, 0x00},
                                              {'I', 'I', 0x00, 0x2A},
                                              sample("samples/CanonRaw.crw"),
                                              sample("samples/Panasonic.rw2")}) {
        const std::vector<uint8_t> window = windowOf(bytes);
        CarveCandidate current;
        CarveCandidate fresh;
        fresh.extension = "untouched";
        EXPECT_EQ(recogniseTiff(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh), 0u);
        EXPECT_STREQ(fresh.extension, "untouched");
    }
}

TEST(TiffRecognition, NamesCameraRawFilesOfRealCameras) {
    EXPECT_EQ(recognisedAs(sample("samples/CanonRaw.cr2")), "cr2");
    EXPECT_EQ(recognisedAs(sample("samples/DNG.dng")), "dng");
    EXPECT_EQ(recognisedAs(sample("samples/Nikon.nef")), "nef");
    EXPECT_EQ(recognisedAs(sample("samples/ExifTool.tif")), "tif");
    EXPECT_EQ(recognisedAs(sample("samples/GeoTiff.tif")), "tif");
}

TEST(TiffRecognition, NamesByTheMakeTextComparedWhole) {
    EXPECT_EQ(recognisedAs(sample("tiff/sony_make.tif")), "arw");
    EXPECT_EQ(recognisedAs(sample("tiff/pentax_make.tif")), "pef");
    EXPECT_EQ(recognisedAs(sample("tiff/kodak_make.tif")), "dcr");
    EXPECT_EQ(recognisedAs(sample("tiff/nikon_make.tif")), "tif");  // "NIKON" alone
    EXPECT_EQ(recognisedAs(withMake("PENTAX             ")), "pef");
    EXPECT_EQ(recognisedAs(withMake("SONY ")), "arw");
    EXPECT_EQ(recognisedAs(withMake("NIKON CORPORATION")), "nef");
    EXPECT_EQ(recognisedAs(withMake("PENTAX")), "tif");
    EXPECT_EQ(recognisedAs(withMake("Kodak ")), "tif");
    EXPECT_EQ(recognisedAs(withMake("sony")), "tif");
}

TEST(TiffRecognition, DngVersionTagWinsOverTheMake) {
    EXPECT_EQ(recognisedAs(sample("tiff/dng_tagged.tif")), "dng");
    TiffBuilder tiff(true, 512);
    tiff.firstDirectory(8).directory(8, {{271, kAscii, 5, 200}, {50706, 1, 4, 0x01040000}});
    std::vector<uint8_t> bytes = tiff.bytes();
    std::memcpy(bytes.data() + 200, "SONY", 5);
    EXPECT_EQ(recognisedAs(bytes), "dng");
}

TEST(TiffRecognition, CanonMarkerDecidesWithoutLookingAtTags) {
    std::vector<uint8_t> bytes = withMake("SONY", 16);  // the directory follows the marker, as in a CR2
    bytes[8] = 'C';
    bytes[9] = 'R';
    bytes[10] = 2;
    EXPECT_EQ(recognisedAs(bytes), "cr2");
    bytes[10] = 3;
    EXPECT_EQ(recognisedAs(bytes), "arw");
}

TEST(TiffRecognition, MakeTextWithoutTerminatorInTheWindowKeepsTif) {
    std::vector<uint8_t> window(65536, 'A');
    TiffBuilder tiff(false, 64);
    tiff.firstDirectory(8).directory(8, {{271, kAscii, 100, 65530}});
    std::copy(tiff.bytes().begin(), tiff.bytes().end(), window.begin());
    CarveCandidate current;
    CarveCandidate fresh;
    ASSERT_EQ(recogniseTiff(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh), 1u);
    EXPECT_STREQ(fresh.extension, "tif");
    // A Make offset beyond the window.
    TiffBuilder far(false, 64);
    far.firstDirectory(8).directory(8, {{271, kAscii, 100, 0xFFFFFF00}});
    EXPECT_EQ(recognisedAs(far.bytes()), "tif");
}

TEST(TiffDataEnd, TakesTheFurthestOfValuesStripAndThumbnail) {
    TiffBuilder tiff(false, 2000);
    tiff.firstDirectory(8).directory(8, {{273, kLong, 1, 600},
                                         {279, kLong, 1, 400},
                                         {513, kLong, 1, 1200},
                                         {514, kLong, 1, 100},
                                         {700, 1, 50, 300}});
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false), 1300u);
    TiffBuilder valuesFurthest(true, 2000);
    valuesFurthest.firstDirectory(8).directory(
        8, {{273, kLong, 1, 100}, {279, kLong, 1, 10}, {700, 1, 1500, 300}});
    EXPECT_EQ(dataEnd(valuesFurthest.bytes(), 8, true), 1800u);
    // A value of four bytes or less is kept in the entry and refers to nothing.
    TiffBuilder inlineOnly(false, 200);
    inlineOnly.firstDirectory(8).directory(
        8, {{700, 1, 4, 0x7FFFFFFF}, {273, kLong, 1, 100}, {279, kLong, 1, 20}});
    EXPECT_EQ(dataEnd(inlineOnly.bytes(), 8, false), 120u);
    // A byte count of 0 names no strip.
    TiffBuilder noCount(false, 200);
    noCount.firstDirectory(8).directory(8,
                                        {{273, kLong, 1, 100000}, {279, kLong, 1, 0}, {256, kShort, 1, 16}});
    EXPECT_EQ(dataEnd(noCount.bytes(), 8, false), 0u);
}

TEST(TiffDataEnd, OffsetsThatCannotStartADirectoryFail) {
    TiffBuilder tiff(false, 200);
    tiff.directory(8, {{273, kLong, 1, 100}, {279, kLong, 1, 20}});
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false), 120u);
    EXPECT_EQ(dataEnd(tiff.bytes(), 0, false), 0u);
    EXPECT_EQ(dataEnd(tiff.bytes(), 9, false), 0u);     // odd
    EXPECT_EQ(dataEnd(tiff.bytes(), 198, false), 0u);   // count 0
    EXPECT_EQ(dataEnd(tiff.bytes(), 5000, false), 0u);  // beyond the file
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false, 4), 120u);
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false, 5), 0u);  // too deep
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false, 0, 16), 120u);
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false, 0, 17), 0u);  // too far down a chain
}

TEST(TiffDataEnd, FollowsExifKodakAndSubDirectoriesAndFailsWithThem) {
    for (uint16_t tag : {330, 33424, 34665}) {
        TiffBuilder tiff(true, 1000);
        tiff.directory(8, {{tag, kLong, 1, 100}});
        tiff.directory(100, {{273, kLong, 1, 500}, {279, kLong, 1, 300}});
        EXPECT_EQ(dataEnd(tiff.bytes(), 8, true), 800u) << tag;
        tiff.directory(8, {{tag, kLong, 1, 101}});
        EXPECT_EQ(dataEnd(tiff.bytes(), 8, true), 0u) << tag;  // a sub-directory that fails fails its parent
    }
}

TEST(TiffDataEnd, SubDirectoriesNestFiveLevelsAtMost) {
    auto nested = [](int levels) {
        TiffBuilder tiff(false, 2000);
        for (int level = 0; level < levels; ++level) {
            tiff.directory(8 + 100 * level, {{34665, kLong, 1, static_cast<uint32_t>(108 + 100 * level)}});
        }
        tiff.directory(8 + 100 * levels, {{273, kLong, 1, 1500}, {279, kLong, 1, 10}});
        return tiff.bytes();
    };
    EXPECT_EQ(dataEnd(nested(4), 8, false), 1510u);  // depths 0 to 4
    EXPECT_EQ(dataEnd(nested(5), 8, false), 0u);     // the last at depth 5
}

TEST(TiffDataEnd, SubDirectoryArraysUpTo24AreFollowed) {
    auto withArray = [](uint32_t count, uint16_t type) {
        TiffBuilder tiff(false, 4000);
        tiff.directory(8, {{330, type, count, 40}});
        for (uint32_t i = 0; i < count; ++i) {
            tiff.u32(40 + 4 * i, 200 + 40 * i);
            tiff.directory(200 + 40 * i, {{273, kLong, 1, 3000 + i}, {279, kLong, 1, 10}});
        }
        return tiff.bytes();
    };
    EXPECT_EQ(dataEnd(withArray(2, kLong), 8, false), 3011u);
    EXPECT_EQ(dataEnd(withArray(24, kLong), 8, false), 3033u);
    // 25 or more offsets are not taken for a directory list: only the array's own extent counts.
    EXPECT_EQ(dataEnd(withArray(25, kLong), 8, false), 140u);
    // Regression: directories typed IFD (13), as libtiff writes sub-directories, were taken for bytes.
    EXPECT_EQ(dataEnd(withArray(3, kIfd), 8, false), 3012u);
    TiffBuilder single(false, 400);
    single.directory(8, {{330, kIfd, 1, 100}}).directory(100, {{273, kLong, 1, 300}, {279, kLong, 1, 50}});
    EXPECT_EQ(dataEnd(single.bytes(), 8, false), 350u);
}

TEST(TiffDataEnd, SubDirectoryArrayBeyondTheFileFails) {
    TiffBuilder tiff(false, 100);
    tiff.directory(8, {{330, kLong, 3, 5000}});
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false), 0u);
}

TEST(TiffDataEnd, NextDirectoryChainIsFollowedAndItsFailureOnlyEndsIt) {
    TiffBuilder tiff(false, 1000);
    tiff.directory(8, {{273, kLong, 1, 100}, {279, kLong, 1, 10}}, 100);
    tiff.directory(100, {{273, kLong, 1, 800}, {279, kLong, 1, 50}}, 0);
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false), 850u);
    tiff.directory(100, {{273, kLong, 1, 800}, {279, kLong, 1, 50}}, 301);  // odd next: ends the chain
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false), 850u);
    tiff.directory(8, {{273, kLong, 1, 100}, {279, kLong, 1, 10}}, 999);  // damaged next
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false), 110u);
}

TEST(TiffDataEnd, ChainsStopAfterSeventeenDirectoriesAndLoopsEnd) {
    TiffBuilder tiff(true, 4000);
    for (uint32_t i = 0; i < 20; ++i) {
        tiff.directory(8 + 100 * i, {{273, kLong, 1, 3000 + i}, {279, kLong, 1, 1}}, 8 + 100 * (i + 1));
    }
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, true), 3017u);  // directories 0 to 16
    TiffBuilder loop(true, 200);
    loop.directory(8, {{273, kLong, 1, 150}, {279, kLong, 1, 10}}, 8);
    EXPECT_EQ(dataEnd(loop.bytes(), 8, true), 160u);
}

TEST(TiffDataEnd, SelfReferencingSubDirectoryFailsWithoutHanging) {
    TiffBuilder tiff(false, 200);
    tiff.directory(8, {{34665, kLong, 1, 8}}, 8);
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false), 0u);
}

// Regression: directories that each list the same 24 sub-directories made the
// walk visit 24^5 directories (it never came back on a damaged card).
TEST(TiffDataEnd, DirectoriesThatMultiplyStopAtTheWorkBound) {
    TiffBuilder tiff(false, 400);
    tiff.directory(8, {{330, kLong, 24, 100}, {273, kLong, 1, 300}, {279, kLong, 1, 10}}, 8);
    for (uint32_t i = 0; i < 24; ++i)
        tiff.u32(100 + 4 * i, 8);
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false), 0u);
}

TEST(TiffDataEnd, EntryCountIsCutToTheBytesRead) {
    TiffBuilder tiff(false, 40);
    tiff.directory(8, {{273, kLong, 1, 30}, {279, kLong, 1, 4}});
    tiff.u16(8, 0xFFFF);  // claims 65535 entries; two and a bit are in the file
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, false), 34u);
    // A directory larger than the 8192 bytes read: the entries past them are not read.
    TiffBuilder large(false, 10000);
    auto entry = [&large](uint32_t index, uint16_t tag, uint32_t value) {
        const size_t at = 10 + 12 * index;
        large.u16(at, tag).u16(at + 2, kLong).u32(at + 4, 1).u32(at + 8, value);
    };
    large.u16(8, 1000);
    entry(0, 273, 100);
    entry(1, 279, 20);
    entry(700, 273, 9000);
    entry(701, 279, 10);
    EXPECT_EQ(dataEnd(large.bytes(), 8, false), 120u);
}

// Regression: the offsets of the offset and byte-count arrays of a multi-strip
// image were added as if they were one strip, which dropped such TIFFs.
TEST(TiffDataEnd, MultiStripAndTiledImagesEndAtTheirLastPiece) {
    TiffBuilder strips(false, 6000);
    strips.directory(8, {{273, kLong, 3, 100}, {279, kShort, 3, 120}});
    strips.u32(100, 1000).u32(104, 5000).u32(108, 2000);
    strips.u16(120, 500).u16(122, 700).u16(124, 600);
    EXPECT_EQ(dataEnd(strips.bytes(), 8, false), 5700u);
    TiffBuilder tiles(true, 6000);
    tiles.directory(8, {{324, kLong, 2, 100}, {325, kLong, 2, 108}});
    tiles.u32(100, 4000).u32(104, 3000).u32(108, 900).u32(112, 1500);
    EXPECT_EQ(dataEnd(tiles.bytes(), 8, true), 4900u);
    // Two SHORT values are kept in the entry itself.
    TiffBuilder pair(false, 6000);
    pair.directory(8, {{273, kShort, 2, 0x0FA00BB8}, {279, kShort, 2, 0x00C80064}});  // 3000, 4000 / 100, 200
    EXPECT_EQ(dataEnd(pair.bytes(), 8, false), 4200u);
}

// Regression: a SHORT kept in a big-endian entry sits in its first two bytes
// and was read as a 32-bit value (65536 times too large).
TEST(TiffDataEnd, ShortValuesOfBigEndianFilesAreReadAsShorts) {
    TiffBuilder tiff(true, 1000);
    tiff.directory(
        8, {{273, kShort, 1, 500}, {279, kShort, 1, 300}, {513, kLong, 1, 900}, {514, kShort, 1, 50}});
    EXPECT_EQ(dataEnd(tiff.bytes(), 8, true), 950u);
}

TEST(TiffDataEnd, HugeStripCountsEndWithoutReadingForever) {
    TiffBuilder tiff(false, 300);
    tiff.directory(8, {{273, kLong, 0xFFFFFFFF, 100}, {279, kLong, 0xFFFFFFFF, 100}});
    // The arrays' extent (offset + 4 x count) lies far beyond the file.
    EXPECT_GT(dataEnd(tiff.bytes(), 8, false), 300u);
}

// Regression: with one type chosen, a TIFF was written up to the next
// file's start (often the rest of the disk) and then cut back to its end.
TEST(TiffBlockCheck, NothingAfterTheFilesEndIsWritten) {
    for (const char* path : {"tiff/gradient_le.tif", "tiff/gradient_be.tif", "tiff/strips_le.tif",
                             "tiff/tiles_le.tif", "tiff/pages_be.tif", "tiff/exif_be.tif",
                             "samples/ExifTool.tif", "samples/GeoTiff.tif", "samples/Nikon.nef"}) {
        std::vector<uint8_t> media = sample(path);
        const uint64_t length = media.size();
        media.resize(media.size() + 100000, 0x5A);
        for (const uint32_t blockSize : {512u, 4096u}) {
            const test::Written written = test::followWriting(recogniseTiff, media, blockSize);
            EXPECT_EQ(written.settled, length) << path;
            EXPECT_LE(written.bytes, (length + blockSize - 1) / blockSize * blockSize) << path;
        }
    }
}

TEST(TiffBlockCheck, RawFilesThatKeepAllThatIsFollowedAreWrittenWhole) {
    std::vector<uint8_t> media = sample("samples/DNG.dng");
    media.resize(media.size() + 8192, 0x5A);
    const test::Written written = test::followWriting(recogniseTiff, media, 512);
    EXPECT_EQ(written.bytes, media.size() / 512 * 512);
}

TEST(TiffEndCheck, RealFilesEndWhereTheirDataEnds) {
    for (const char* path :
         {"tiff/gradient_le.tif", "tiff/gradient_be.tif", "tiff/strips_le.tif", "tiff/strips_be.tif",
          "tiff/tiles_le.tif", "tiff/pages_be.tif", "tiff/exif_be.tif", "tiff/pentax_make.tif",
          "tiff/kodak_make.tif", "samples/ExifTool.tif", "samples/GeoTiff.tif", "samples/Nikon.nef",
          "samples/DNG.dng"}) {
        const std::vector<uint8_t> file = sample(path);
        // The rest of the last cluster and the next file's start follow the file on the card.
        const CarveCandidate settled = endCheckOn(withSlack(file, 5000), endCheckTiff, "tif");
        EXPECT_EQ(settled.size, file.size()) << path;
    }
}

TEST(TiffEndCheck, LittleEndianFileAndItsBigEndianTwinEndAtTheSameOffset) {
    const std::vector<uint8_t> little = sample("tiff/strips_le.tif");
    const std::vector<uint8_t> big = sample("tiff/strips_be.tif");
    const CarveCandidate a = endCheckOn(withSlack(little, 4096), endCheckTiff, "tif");
    const CarveCandidate b = endCheckOn(withSlack(big, 4096), endCheckTiff, "tif");
    EXPECT_EQ(a.size, little.size());
    EXPECT_EQ(a.size, b.size);
}

TEST(TiffEndCheck, FileShorterThanItsDataIsDropped) {
    for (const char* path :
         {"tiff/strips_be.tif", "tiff/pages_be.tif", "tiff/dng_tagged.tif", "tiff/sony_make.tif"}) {
        std::vector<uint8_t> file = sample(path);
        file.resize(file.size() - 1);
        const char* extension = std::strstr(path, "dng") ? "dng" : std::strstr(path, "sony") ? "arw" : "tif";
        EXPECT_EQ(endCheckOn(file, endCheckTiff, extension).size, 0u) << path;
    }
}

TEST(TiffEndCheck, ArwAndDngKeepTheirWrittenSize) {
    const std::vector<uint8_t> sony = withSlack(sample("tiff/sony_make.tif"), 3000);
    EXPECT_EQ(endCheckOn(sony, endCheckTiff, "arw").size, sony.size());
    const std::vector<uint8_t> dng = withSlack(sample("samples/DNG.dng"), 3000);
    EXPECT_EQ(endCheckOn(dng, endCheckTiff, "dng").size, dng.size());
    EXPECT_EQ(endCheckOn(dng, endCheckTiff, "tif").size, dng.size() - 3000);
}

TEST(TiffEndCheck, UnwalkableDirectoriesDropATiffButNotAnArw) {
    TiffBuilder tiff(false, 4096);
    tiff.firstDirectory(9);
    EXPECT_EQ(endCheckOn(tiff.bytes(), endCheckTiff, "tif").size, 0u);
    EXPECT_EQ(endCheckOn(tiff.bytes(), endCheckTiff, "arw").size, 4096u);
    EXPECT_EQ(endCheckOn(tiff.bytes(), endCheckTiff, "nef").size, 0u);
}

TEST(TiffEndCheck, OutputTooShortForAHeaderIsLeftAlone) {
    EXPECT_EQ(endCheckOn({'I', 'I', 0x2A, 0, 8}, endCheckTiff, "tif").size, 5u);
    CarveCandidate none;
    none.size = 4096;
    endCheckTiff(none);
    EXPECT_EQ(none.size, 4096u);
}

}  // namespace
}  // namespace salvora

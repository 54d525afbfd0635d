#include "formats/mov.h"

#include <gtest/gtest.h>

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/family_table.h"
#include "formats/zip_mov_support.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::dataPath;
using test::feedBlocks;
using test::readFile;
using test::Recognised;
using test::windowWith;

// An atom of `type` with `body` bytes of zeros (or the given body); the size
// field holds the real size unless `sizeField` is given.
std::vector<uint8_t> atom(const std::string& type, const std::vector<uint8_t>& body, int64_t sizeField = -1) {
    std::vector<uint8_t> bytes(8 + body.size(), 0);
    test::putBe32(bytes, 0, static_cast<uint32_t>(sizeField >= 0 ? sizeField : int64_t(8 + body.size())));
    std::memcpy(bytes.data() + 4, type.data(), 4);
    std::copy(body.begin(), body.end(), bytes.begin() + 8);
    return bytes;
}
std::vector<uint8_t> atom(const std::string& type, size_t bodyLength) {
    return atom(type, std::vector<uint8_t>(bodyLength, 0));
}
// An atom header alone, with the given size field.
std::vector<uint8_t> header(const std::string& type, int64_t sizeField) {
    return atom(type, {}, sizeField);
}
std::vector<uint8_t> ftyp(const std::string& brands) {
    return atom("ftyp", {brands.begin(), brands.end()});
}
std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes;
    for (const auto& part : parts)
        test::append(bytes, part);
    return bytes;
}

Recognised recognise(const std::vector<uint8_t>& start, const CarveCandidate& current = {}) {
    return test::recogniseWith(recogniseMov, start, current);
}

std::string extensionOf(const std::vector<uint8_t>& start) {
    return test::extensionOf(recognise(start));
}

// --- Registration ----------------------------------------------------------

TEST(MovRegistration, SixteenAtomTypesAtOffsetFourStartAFile) {
    EnabledFamilies families{{1, familyByExtension("mov")}, {0, nullptr}};
    SignatureRegistry registry;
    registry.build(families);
    const std::vector<std::string> types{"cmov", "cmvd", "dcom", "free", "ftyp", "jp2h", "mdat", "mdia",
                                         "moov", "PICT", "pnot", "skip", "stbl", "trak", "wide", "jP  "};
    for (const std::string& type : types) {
        // A chain that an "mdat" decides, started by an atom of this type.
        const std::vector<uint8_t> start = concat({atom(type, 8), atom("mdat", 8)});
        const std::vector<uint8_t> window = windowWith(start);
        CarveCandidate none;
        CarveCandidate fresh;
        EXPECT_NE(registry.findHeader(window.data(), 65536, 0, none, fresh), nullptr) << type;
    }
    const std::vector<uint8_t> uuid = windowWith(concat({atom("uuid", 8), atom("mdat", 8)}));
    CarveCandidate none;
    CarveCandidate fresh;
    EXPECT_EQ(registry.findHeader(uuid.data(), 65536, 0, none, fresh), nullptr) << "uuid is no signature";
    registry.release();
}

// --- Recognition: the brand table ------------------------------------------

TEST(MovBrands, MajorBrandNamesTheFile) {
    EXPECT_EQ(extensionOf(ftyp("isom\0\0\2\0isomiso2avc1mp41" + std::string())), "mp4");
    EXPECT_EQ(extensionOf(ftyp(std::string("qt  \0\0\2\0qt  ", 12))), "mov");
    EXPECT_EQ(extensionOf(ftyp(std::string("3gp5\0\0\0\0", 8))), "3gp");
    EXPECT_EQ(extensionOf(ftyp(std::string("3g2a\0\0\0\0", 8))), "3g2");
    EXPECT_EQ(extensionOf(ftyp(std::string("jp2 \0\0\0\0jp2 ", 12))), "jp2");
    EXPECT_EQ(extensionOf(ftyp(std::string("M4A \0\0\0\0", 8))), "m4a");
}

// Phones' photos, AVIF pictures, Canon raw images, iTunes audio and video
// came back as .mov or .mp4: each brand names its own kind now.
TEST(MovBrands, PictureRawAndAudioBrandsNameTheirOwnKinds) {
    const struct {
        const char* brands;
        const char* extension;
    } cases[] = {{"heic", "heic"}, {"heix", "heic"}, {"hevc", "heic"}, {"heim", "heic"}, {"heis", "heic"},
                 {"mif1", "heic"}, {"msf1", "heic"}, {"avif", "avif"}, {"avis", "avif"}, {"crx ", "cr3"},
                 {"M4A ", "m4a"},  {"M4B ", "m4a"},  {"M4P ", "m4a"},  {"M4V ", "m4v"}};
    for (const auto& c : cases) {
        EXPECT_EQ(extensionOf(concat({ftyp(std::string(c.brands) + std::string(4, '\0')), atom("mdat", 8)})),
                  c.extension)
            << c.brands;
    }
}

// An AVIF lists "mif1" (a HEIF brand) among its compatible brands, and an
// M4A lists "isom": the major brand decides; an unknown major brand leaves
// it to the compatible brands, in the table's order.
TEST(MovBrands, MajorBrandBeforeCompatibleBrands) {
    EXPECT_EQ(extensionOf(ftyp(std::string("avif\0\0\0\0mif1miafavif", 20))), "avif");
    EXPECT_EQ(extensionOf(ftyp(std::string("M4A \0\0\2\0M4A isomiso2", 20))), "m4a");
    EXPECT_EQ(extensionOf(ftyp(std::string("mif1\0\0\0\0avifmiaf", 16))), "heic");
    EXPECT_EQ(extensionOf(ftyp(std::string("miaf\0\0\0\0mif1avif", 16))), "avif");
    EXPECT_EQ(extensionOf(ftyp(std::string("dash\0\0\0\0iso6M4V mp41", 20))), "m4v");
    // A brand counts only in its own four-byte place.
    EXPECT_EQ(extensionOf(concat({ftyp(std::string("dash\0\0\0\0xhei", 12) + "cxxx"), atom("mdat", 8)})),
              "mov");
}

// ffmpeg lists "isom" among the compatible brands of every 3GPP file: the
// major brand, not the first table row, decides.
TEST(MovBrands, ThreeGppWithIsomCompatibilityStaysThreeGpp) {
    EXPECT_EQ(extensionOf(ftyp(std::string("3gp4\0\0\2\0"
                                           "3gp4isomiso2",
                                           20))),
              "3gp");
    EXPECT_EQ(extensionOf(readFile(dataPath("movie/clip.3gp"))), "3gp");
}

TEST(MovBrands, CompatibleBrandsDecideInTableOrderWhenTheMajorBrandIsUnknown) {
    // The table's first row wins over a later one found earlier in the body.
    EXPECT_EQ(extensionOf(ftyp(std::string("avc1\0\0\0\0"
                                           "3gp4mp42",
                                           16))),
              "mp4");
    EXPECT_EQ(extensionOf(ftyp(std::string("mp42\0\0\0\0"
                                           "3gp4",
                                           12))),
              "mp4");
    EXPECT_EQ(extensionOf(ftyp(std::string("XAVC\0\0\0\0"
                                           "qt  ",
                                           12))),
              "mov");
}

TEST(MovBrands, FtypWithoutAKnownBrandLetsTheNextAtomDecide) {
    const auto r =
        recognise(concat({ftyp(std::string("abcd\0\0\0\0", 8)), atom("free", 4), atom("mdat", 100)}));
    ASSERT_TRUE(r.accepted);
    EXPECT_STREQ(r.fresh.extension, "mov");
    EXPECT_EQ(r.fresh.expectedSize, 16u + 12u + 108u);
}

TEST(MovBrands, BrandIsOnlySearchedInsideTheFtypBody) {
    // "isom" stands right after an ftyp of size 12 whose body is "abcd".
    const std::vector<uint8_t> start = concat({ftyp("abcd"), atom("isom", 0), atom("mdat", 0)});
    const auto r = recognise(start);
    ASSERT_TRUE(r.accepted);
    EXPECT_STREQ(r.fresh.extension, "mov");  // decided by mdat, not by a brand
}

// --- Recognition: the atom walk and its limits ------------------------------

TEST(MovRecognition, CandidateEndsAtTheDecidingAtomAndIsFollowedByTheAtomWalk) {
    const auto r = recognise(readFile(dataPath("movie/clip.mp4")));
    ASSERT_TRUE(r.accepted);
    EXPECT_STREQ(r.fresh.extension, "mp4");
    EXPECT_EQ(r.fresh.expectedSize, 32u);  // the ftyp atom
    EXPECT_EQ(r.fresh.blockCheck, blockCheckMov);
    EXPECT_EQ(r.fresh.endCheck, endCheckMovie);
    EXPECT_EQ(r.fresh.minSize, 0u);
}

TEST(MovRecognition, Jpeg2000SkipsItsSignatureBoxAndIsDecidedByFtyp) {
    const auto r = recognise(readFile(dataPath("movie/picture.jp2")));
    ASSERT_TRUE(r.accepted);
    EXPECT_STREQ(r.fresh.extension, "jp2");
    EXPECT_EQ(r.fresh.expectedSize, 12u + 20u);
}

TEST(MovRecognition, QuickTimeSampleIsDecidedByItsMovieAtom) {
    const auto r = recognise(readFile(dataPath("samples/QuickTime.mov")));
    ASSERT_TRUE(r.accepted);
    EXPECT_STREQ(r.fresh.extension, "mov");
    EXPECT_EQ(r.fresh.expectedSize, 3863u);
}

TEST(MovRecognition, SmallDescriptiveAtomsDecideUpTo256Bytes) {
    for (const std::string type : {"pnot", "wide"}) {
        EXPECT_EQ(extensionOf(atom(type, 256 - 8)), "mov") << type;
        EXPECT_EQ(extensionOf(atom(type, 257 - 8)), "(refused)") << type;
    }
}

TEST(MovRecognition, MovieAtomDecidesUpTo16MiB) {
    EXPECT_EQ(extensionOf(header("moov", 16777216)), "mov");
    EXPECT_EQ(extensionOf(header("moov", 16777217)), "(refused)");
}

TEST(MovRecognition, ImplausibleSizesAreRefused) {
    EXPECT_EQ(extensionOf(header("mdat", 0)), "(refused)");
    EXPECT_EQ(extensionOf(header("mdat", 1)), "(refused)") << "64-bit size form";
    EXPECT_EQ(extensionOf(header("mdat", 7)), "(refused)");
    EXPECT_EQ(extensionOf(header("mdat", 1073741825)), "(refused)");
    EXPECT_EQ(extensionOf(header("mdat", 1073741824)), "mov");
    // A plausible first atom followed by an implausible one.
    EXPECT_EQ(extensionOf(concat({atom("free", 8), header("mdat", 1)})), "(refused)");
}

TEST(MovRecognition, ChainThatLeavesTheWindowIsRefused) {
    // "free" atoms of 4096 bytes all the way through the window.
    std::vector<uint8_t> start;
    while (start.size() < 65536)
        test::append(start, atom("free", 4096 - 8));
    EXPECT_EQ(extensionOf(start), "(refused)");
    // A deciding atom whose header starts 8 bytes before the window's end is
    // not read; one 9 bytes before is.
    std::vector<uint8_t> chain = concat({atom("free", 65536 - 8 - 8), atom("mdat", 0)});
    EXPECT_EQ(extensionOf(chain), "(refused)");
    chain = concat({atom("free", 65536 - 9 - 8), atom("mdat", 0)});
    EXPECT_EQ(extensionOf(chain), "mov");
}

TEST(MovRecognition, FtypRunningPastTheWindowIsSearchedUpToTheWindowEnd) {
    std::vector<uint8_t> start = atom("ftyp", std::vector<uint8_t>(65536 - 8, 0), 200000);
    std::memcpy(start.data() + 65536 - 4, "qt  ", 4);
    EXPECT_EQ(extensionOf(start), "mov");
}

TEST(MovRecognition, MovieInProgressIsNotSplitWhereItsNextAtomIsDue) {
    CarveCandidate current;
    FamilyTally tally{familyByExtension("mov"), nullptr};
    current.tally = &tally;
    current.size = 8192;
    current.expectedSize = 8192;
    const std::vector<uint8_t> next = concat({atom("mdat", 100)});
    EXPECT_FALSE(recognise(next, current).accepted);
    current.expectedSize = 9000;  // anywhere else a new movie starts
    EXPECT_TRUE(recognise(next, current).accepted);
    FamilyTally other{familyByExtension("jpg"), nullptr};
    current.tally = &other;
    current.expectedSize = 8192;
    EXPECT_TRUE(recognise(next, current).accepted);
}

// --- Carving: the window walk over top-level atoms ---------------------------

CarveCandidate carve(const std::vector<uint8_t>& file, uint32_t blockSize) {
    auto r = recognise(file);
    EXPECT_TRUE(r.accepted);
    CarveCandidate candidate = std::move(r.fresh);
    feedBlocks(file, blockSize, candidate);
    return candidate;
}

TEST(MovCarving, RealMoviesAreFollowedToTheirLastAtomAtEveryBlockSize) {
    for (const std::string path : {"movie/clip.mp4", "movie/clip.mov", "movie/clip.3gp",
                                   "movie/faststart.mp4", "samples/QuickTime.mov"}) {
        const std::vector<uint8_t> movie = readFile(dataPath(path));
        for (const uint32_t blockSize : {512u, 1024u, 4096u, 32768u}) {
            std::vector<uint8_t> file = movie;
            file.resize(movie.size() + 3 * blockSize, 0);  // zeros after it: size 0 ends the walk
            CarveCandidate candidate = carve(file, blockSize);
            EXPECT_EQ(candidate.expectedSize, movie.size()) << path << " block " << blockSize;
            endCheckTruncateToExpected(candidate);
            EXPECT_EQ(candidate.size, movie.size()) << path << " block " << blockSize;
        }
    }
}

// An atom header at every position across a block boundary, including the
// last 8 bytes of the window.
TEST(MovCarving, AtomHeaderStraddlingABlockBoundaryIsReadWhenWhole) {
    const uint32_t blockSize = 512;
    for (size_t pad = 0; pad < 24; ++pad) {
        const size_t at = blockSize - 12 + pad;  // where the second "free" starts
        const std::vector<uint8_t> file = concat({ftyp("isom"), atom("free", at - 12 - 8), atom("free", 40),
                                                  atom("mdat", 2000), std::vector<uint8_t>(1024, 0)});
        CarveCandidate candidate = carve(file, blockSize);
        EXPECT_EQ(candidate.expectedSize, at + 48 + 2008) << "second atom at " << at;
    }
}

TEST(MovCarving, WalkStopsAtTheFirstAtomOfAnotherTypeOrAnImplausibleSize) {
    const std::vector<uint8_t> lead = concat({ftyp("isom"), atom("uuid", 20), atom("mdat", 500)});
    struct Case {
        std::vector<uint8_t> next;
        const char* what;
    };
    const Case cases[] = {{atom("jp2c", 100), "type not followed"},
                          {header("mdat", 0), "size 0"},
                          {header("mdat", 1), "64-bit size form"},
                          {header("mdat", 7), "size below the header"},
                          {header("mdat", 1073741824), "2^30 bytes"}};
    for (const Case& c : cases) {
        std::vector<uint8_t> file = concat({lead, c.next});
        file.resize(file.size() + 4096, 0x5A);
        CarveCandidate candidate = carve(file, 512);
        EXPECT_EQ(candidate.expectedSize, lead.size()) << c.what;
        EXPECT_LT(candidate.size, file.size()) << c.what << ": the file ends at the bad atom";
    }
    // 2^30 - 1 is still followed.
    std::vector<uint8_t> file = concat({lead, header("mdat", 1073741823)});
    file.resize(8192, 0);
    CarveCandidate candidate = carve(file, 512);
    EXPECT_EQ(candidate.expectedSize, lead.size() + 1073741823u);
}

// The size field 1 announces a 64-bit size in the next 8 bytes; the walk
// ends the file there and needs only the 8-byte header, even when it is the
// last thing in the window.
TEST(MovCarving, SixtyFourBitSizeAtTheWindowEndEndsTheFileWithoutReadingOn) {
    const uint32_t blockSize = 512;
    const std::vector<uint8_t> lead = concat({ftyp("isom"), atom("free", 2 * blockSize - 12 - 8 - 9)});
    std::vector<uint8_t> file = concat({lead, header("mdat", 1)});
    ASSERT_EQ(file.size(), 2 * blockSize - 1);  // the header ends one byte before block 2
    file.resize(4 * blockSize, 0x11);
    CarveCandidate candidate = carve(file, blockSize);
    EXPECT_EQ(candidate.expectedSize, lead.size());
    endCheckTruncateToExpected(candidate);
    EXPECT_EQ(candidate.size, lead.size());
}

TEST(MovCarving, MovieShorterThanItsLastAtomIsDropped) {
    const std::vector<uint8_t> movie = readFile(dataPath("movie/clip.mov"));
    const std::vector<uint8_t> cut(movie.begin(), movie.begin() + 2048);  // in the middle of "moov"
    CarveCandidate candidate = carve(cut, 512);
    EXPECT_EQ(candidate.expectedSize, movie.size());
    endCheckTruncateToExpected(candidate);
    EXPECT_EQ(candidate.size, 0u);
}

// The codestream box jp2c of picture.jp2 starts at 77 and runs to the end of the file (446).
TEST(MovCarving, Jpeg2000EndsAtTheEndOfItsCodestreamBox) {
    std::vector<uint8_t> picture = readFile(dataPath("movie/picture.jp2"));
    picture.resize(4096, 0x6A);  // whatever follows: not a box
    CarveCandidate candidate = carve(picture, 512);
    EXPECT_EQ(candidate.expectedSize, 446u);
    endCheckTruncateToExpected(candidate);
    EXPECT_EQ(candidate.size, 446u);
}

// A codestream box of length 0 runs to the end of the data: the codestream's
// own end marker (FF D9) ends the picture.
TEST(MovCarving, CodestreamBoxOfLengthZeroEndsAtTheEndOfCodestreamMarker) {
    std::vector<uint8_t> picture = readFile(dataPath("movie/picture.jp2"));
    ASSERT_EQ(picture[81], 'j');  // the type of the box at 77: "jp2c"
    for (size_t i = 77; i < 81; ++i)
        picture[i] = 0;          // its length: 0
    picture.resize(4096, 0x00);  // zeros after the end marker
    CarveCandidate candidate = carve(picture, 512);
    EXPECT_EQ(candidate.expectedSize, 446u);
}

// HEIF and AVIF keep their pictures in a top-level "meta" box, which the
// walk follows like the other top-level boxes.
TEST(MovCarving, HeifPicturesAreFollowedThroughTheirMetaBox) {
    for (const char* path : {"picture/photo.heic", "picture/photo.avif"}) {
        const std::vector<uint8_t> picture = readFile(dataPath(path));
        std::vector<uint8_t> file = picture;
        file.resize(picture.size() + 2048, 0);
        CarveCandidate candidate = carve(file, 512);
        EXPECT_EQ(candidate.expectedSize, picture.size()) << path;
    }
}

}  // namespace
}  // namespace salvora

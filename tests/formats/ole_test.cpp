#include "formats/ole.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "formats/candidate_file.h"
#include "formats/compound_builder.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::CandidateFile;
using test::CompoundBuilder;
using test::dataPath;
using test::DirectoryEntry;
using test::endCheckOn;
using test::readFile;
using test::windowOf;

std::vector<uint8_t> sample(const std::string& path) {
    return readFile(dataPath(path));
}

const DirectoryEntry kRoot{"Root Entry", 5};

// The extension recogniseOle gives a window starting with `bytes`, or "refused".
std::string recognisedAs(const std::vector<uint8_t>& bytes) {
    const std::vector<uint8_t> window = windowOf(bytes);
    CarveCandidate current;
    CarveCandidate fresh;
    if (!recogniseOle(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh)) {
        return "refused";
    }
    return fresh.extension;
}

uint64_t sizeOf(const std::vector<uint8_t>& bytes) {
    CandidateFile file(bytes);
    return oleFileSize(file.file());
}

std::string directoryExtension(const std::vector<uint8_t>& bytes, uint64_t fileSize) {
    CandidateFile file(bytes);
    const char* extension = oleDirectoryExtension(file.file(), fileSize);
    return extension ? extension : "none";
}

std::string directoryExtension(const std::vector<uint8_t>& bytes) {
    return directoryExtension(bytes, bytes.size());
}

// A small document whose directory holds the root and the given entries.
std::vector<uint8_t> documentWith(const std::vector<DirectoryEntry>& entries) {
    std::vector<DirectoryEntry> all{kRoot};
    all.insert(all.end(), entries.begin(), entries.end());
    return CompoundBuilder(1, 12, all).bytes();
}

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(OleRecognition, AcceptsRealDocumentsNamedByTheirKeywords) {
    EXPECT_EQ(recognisedAs(sample("office/letter.doc")), "doc");  // no keyword: the family's extension
    EXPECT_EQ(recognisedAs(sample("office/sheet.xls")), "xls");   // "Book" and "Calc"
    EXPECT_EQ(recognisedAs(sample("office/slides.ppt")), "ppt");  // "Power"
    EXPECT_EQ(recognisedAs(sample("samples/FlashPix.ppt")), "ppt");
    const std::vector<uint8_t> window = windowOf(sample("office/letter.doc"));
    CarveCandidate current;
    CarveCandidate fresh;
    ASSERT_EQ(recogniseOle(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh), 1u);
    EXPECT_EQ(fresh.endCheck, &endCheckOle);
    EXPECT_EQ(fresh.blockCheck, &blockCheckOle);
    EXPECT_EQ(fresh.expectedSize, 0u);
}

TEST(OleRecognition, KeywordRowsAreTriedInTheirOrder) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"Workbook", "WordDocument"}, "doc"},
        {{"StarDraw"}, "sda"},
        {{"StarCalc"}, "sdc"},
        {{"StarImpress"}, "sdd"},
        {{"Worksheet"}, "xls"},
        {{"Book"}, "xls"},
        {{"Calc", "Power"}, "xls"},
        {{"PowerPoint"}, "ppt"},
        {{"AccessObjSiteData"}, "mdb"},
        {{"Visio"}, "vsd"},
        {{"SfxDocument"}, "sdw"},
        {{"CPicPage"}, "fla"},
        {{"Microsoft Publisher"}, "pub"},
        {{"MSWorksDBDoc"}, "wdb"},
        {{"Microsoft Works Database"}, "wdb"},
        {{"MetaStock"}, "mws"},
        {{"wordDocument"}, "doc"},
    };
    for (const auto& [words, extension] : cases) {
        std::vector<uint8_t> bytes = sample("office/letter.doc");
        size_t at = 20000;  // anywhere in the window
        for (const std::string& word : words) {
            bytes.resize(at + word.size() + 1, 0);
            std::memcpy(bytes.data() + at, word.data(), word.size());
            at += 30000;
        }
        EXPECT_EQ(recognisedAs(bytes), extension) << words.front();
    }
    // A keyword that ends with the window's last byte is found.
    std::vector<uint8_t> window = windowOf(sample("office/letter.doc"));
    std::memcpy(window.data() + window.size() - 5, "Visio", 5);
    CarveCandidate current;
    CarveCandidate fresh;
    ASSERT_EQ(recogniseOle(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh), 1u);
    EXPECT_STREQ(fresh.extension, "vsd");
}

TEST(OleRecognition, RefusesImplausibleHeaders) {
    const std::vector<uint8_t> good = sample("office/sheet.xls");
    auto with = [&good](size_t at, std::vector<uint8_t> field) {
        std::vector<uint8_t> bytes = good;
        std::copy(field.begin(), field.end(), bytes.begin() + static_cast<long>(at));
        return recognisedAs(bytes);
    };
    EXPECT_EQ(with(30, {12, 0}), "refused");  // 4096-byte sectors
    EXPECT_EQ(with(32, {5, 0}), "refused");   // mini sectors of 32 bytes
    EXPECT_EQ(with(34, {1, 0}), "refused");
    EXPECT_EQ(with(36, {0, 0, 0, 1}), "refused");
    EXPECT_EQ(with(40, {1, 0, 0, 0}), "refused");  // directory sector count
    EXPECT_EQ(with(44, {0, 0, 0, 0}), "refused");  // no FAT
    EXPECT_EQ(with(72, {51, 0, 0, 0}), "refused");
    EXPECT_EQ(with(72, {50, 0, 0, 0}), "xls");
    EXPECT_EQ(with(44, {109, 0, 0, 0}), "xls");
    EXPECT_EQ(with(44, {110, 0, 0, 0}), "refused");  // more than the header holds, no DIFAT
    std::vector<uint8_t> difat = good;
    put32(difat, 72, 1);
    put32(difat, 44, 620);  // 511 x 1 + 109
    EXPECT_EQ(recognisedAs(difat), "xls");
    put32(difat, 44, 621);
    EXPECT_EQ(recognisedAs(difat), "refused");
    std::vector<uint8_t> signature = good;
    signature[7] = 0xE0;
    EXPECT_EQ(recognisedAs(signature), "refused");
}

// Regression: with one type chosen, a document was written up to the next
// file's start (often hundreds of megabytes) and then cut back to its size.
TEST(OleBlockCheck, NothingAfterTheSizeTheFatGivesIsWritten) {
    const std::pair<const char*, uint64_t> cases[] = {{"office/letter.doc", 9216},
                                                      {"office/sheet.xls", 5632},
                                                      {"office/slides.ppt", 461312},
                                                      {"samples/FlashPix.ppt", 9728}};
    for (const auto& [path, length] : cases) {
        std::vector<uint8_t> media = sample(path);
        media.resize(media.size() + 200000, 0x33);  // followed up to the next file
        for (const uint32_t blockSize : {512u, 4096u}) {
            const test::Written written = test::followWriting(recogniseOle, media, blockSize);
            EXPECT_EQ(written.settled, length) << path;
            EXPECT_GE(written.bytes, length) << path;
            EXPECT_LE(written.bytes, (length + blockSize - 1) / blockSize * blockSize) << path;
        }
    }
}

TEST(OleBlockCheck, FatFoundThroughTheDifatBoundsWhatIsWritten) {
    const uint32_t used = 240 * 128 - 17;  // 240 FAT sectors: 109 in the header, 131 through the DIFAT
    std::vector<uint8_t> media = CompoundBuilder(240, used, {kRoot, {"Workbook", 2}}).bytes();
    media.resize(512 + uint64_t{used} * 512 + 300000, 0x33);
    const test::Written written = test::followWriting(recogniseOle, media, 512);
    EXPECT_EQ(written.settled, 512u + uint64_t{used} * 512);
    EXPECT_EQ(written.bytes, 512u + uint64_t{used} * 512);
}

TEST(OleBlockCheck, DocumentCutBeforeItsFatIsWrittenAndDroppedAsBefore) {
    std::vector<uint8_t> media = sample("office/slides.ppt");
    media.resize(65536);  // its FAT lies after its first 64 KiB; other data follows
    media.resize(300000, 0x33);
    const test::Written written = test::followWriting(recogniseOle, media, 512);
    EXPECT_EQ(written.bytes, 300000u / 512 * 512);
    EXPECT_EQ(written.settled, 0u);
}

TEST(OleFileSize, RealDocumentsSizeToTheirLength) {
    for (const char* path :
         {"office/letter.doc", "office/sheet.xls", "office/slides.ppt", "samples/FlashPix.ppt"}) {
        std::vector<uint8_t> bytes = sample(path);
        const uint64_t length = bytes.size();
        bytes.resize(bytes.size() + 7000, 0x33);  // what follows on the card does not count
        EXPECT_EQ(sizeOf(bytes), length) << path;
    }
}

TEST(OleFileSize, TrailingFreeEntriesShrinkTheSizeButNeverTheFirstOfTheLastFatSector) {
    EXPECT_EQ(sizeOf(CompoundBuilder(1, 20, {kRoot}).bytes()), 512u + 20 * 512);
    EXPECT_EQ(sizeOf(CompoundBuilder(1, 128, {kRoot}).bytes()), 512u + 128 * 512);
    EXPECT_EQ(sizeOf(CompoundBuilder(2, 129, {kRoot}).bytes()), 512u + 129 * 512);
    // Everything used lies in the first FAT sector: the second counts 1 + its used entries.
    EXPECT_EQ(sizeOf(CompoundBuilder(2, 100, {kRoot}).bytes()), 512u + 129 * 512);
    // A used entry among free ones stops the count.
    CompoundBuilder gap(1, 20, {kRoot});
    gap.fat(10, CompoundBuilder::kFree);
    EXPECT_EQ(sizeOf(gap.bytes()), 512u + 20 * 512);
}

TEST(OleFileSize, MoreThan109FatSectorsAreFoundThroughTheDifat) {
    const uint32_t fatSectors = 240;  // 109 in the header, 127 + 4 in two DIFAT sectors
    const uint32_t used = fatSectors * 128 - 17;
    CompoundBuilder document(fatSectors, used, {kRoot, {"Workbook", 2}});
    EXPECT_EQ(sizeOf(document.bytes()), 512u + uint64_t{used} * 512);
    EXPECT_EQ(directoryExtension(document.bytes()), "xls");
    // The DIFAT sector must be read whole.
    std::vector<uint8_t> cut = document.bytes();
    cut.resize(CompoundBuilder::sectorOffset(document.firstDifat() + 1) + 100);
    EXPECT_EQ(sizeOf(cut), 0u);
}

TEST(OleFileSize, DifatChainsThatLoopOrLeaveTheFileEnd) {
    const uint32_t fatSectors = 110;
    const uint32_t used = fatSectors * 128 - 3;
    CompoundBuilder looping(fatSectors, used, {kRoot});
    looping.le32(CompoundBuilder::sectorOffset(looping.firstDifat()) + 508, looping.firstDifat());
    looping.le32(72, 50);  // the chain is followed 50 times, then it ends
    EXPECT_EQ(sizeOf(looping.bytes()), 512u + uint64_t{used} * 512);
    EXPECT_EQ(directoryExtension(looping.bytes()), "none");  // no name of the table, but an end
    CompoundBuilder beyond(fatSectors, used, {kRoot});
    beyond.le32(68, 0x00FFFFFF);
    EXPECT_EQ(sizeOf(beyond.bytes()), 0u);
    EXPECT_EQ(directoryExtension(beyond.bytes()), "none");
}

// Regression: a DIFAT chain that names fewer FAT sectors than the header
// counts made the size computation read past its list of sector numbers.
TEST(OleFileSize, DifatThatNamesTooFewFatSectorsGivesNoSize) {
    CompoundBuilder early(110, 110 * 128 - 3, {kRoot});
    early.le32(68, CompoundBuilder::kEndOfChain);
    EXPECT_EQ(sizeOf(early.bytes()), 0u);
    EXPECT_EQ(directoryExtension(early.bytes()), "none");
    // 300 FAT sectors pass the header test with one DIFAT sector, which names only 127 of the 191 missing.
    CompoundBuilder overCounted(110, 110 * 128 - 3, {kRoot});
    overCounted.le32(44, 300).le32(72, 1);
    EXPECT_EQ(sizeOf(overCounted.bytes()), 0u);
}

// Regression: a sector shift other than 9 was used as a shift count for the
// size (undefined for large values) although the FAT was read in 512-byte units.
TEST(OleFileSize, OnlyDocumentsOf512ByteSectorsAreSized) {
    std::vector<uint8_t> bytes = sample("office/letter.doc");
    bytes[30] = 12;
    EXPECT_EQ(sizeOf(bytes), 0u);
    bytes[30] = 0xFF;
    bytes[31] = 0xFF;
    EXPECT_EQ(sizeOf(bytes), 0u);
}

TEST(OleFileSize, UnreadableFatOrHeaderGivesNoSize) {
    std::vector<uint8_t> bytes = sample("office/letter.doc");
    put32(bytes, 76, 5000);  // the FAT sector lies beyond the file
    EXPECT_EQ(sizeOf(bytes), 0u);
    bytes = sample("office/letter.doc");
    bytes.resize(511);
    EXPECT_EQ(sizeOf(bytes), 0u);
    CarveCandidate none;
    EXPECT_EQ(oleFileSize(none.output), 0u);
}

TEST(OleDirectory, RealDocumentsAreNamedByTheirStreams) {
    // letter.doc keeps "WordDocument" in its second directory sector.
    EXPECT_EQ(directoryExtension(sample("office/letter.doc")), "doc");
    EXPECT_EQ(directoryExtension(sample("office/sheet.xls")), "xls");
    EXPECT_EQ(directoryExtension(sample("office/slides.ppt")), "ppt");
    // This one's root entry has a name size that does not fit its name.
    EXPECT_EQ(directoryExtension(sample("samples/FlashPix.ppt")), "none");
}

TEST(OleDirectory, NameTableRowsMatchByPrefix) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Scene", "max"},
        {"Workbook", "xls"},
        {"StarDrawDocument3", "sda"},
        {"StarCalcDocument", "sdc"},
        {"WksSSWorkBook", "xlr"},
        {"ImagesStoreX", "albm"},
        {"PowerPoint Document", "ppt"},
        {"CONTENTS", "wps"},
        {"__nameid_version1.0", "msg"},
        {"Licom", "amb"},
        {"SfxDocumentInfo", "sdw"},
        {"VisioDocument", "vsd"},
        {"WordDocument", "doc"},
        {"Book", "none"},
        {"Power", "none"},
        {"workbook", "none"},
        {"Word", "none"},
    };
    for (const auto& [name, extension] : cases) {
        EXPECT_EQ(directoryExtension(documentWith({{"\x05SummaryInformation", 2}, {name, 2}})), extension)
            << name;
    }
}

TEST(OleDirectory, FirstMatchingEntryDecides) {
    EXPECT_EQ(directoryExtension(documentWith({{"WordDocument", 2}, {"Workbook", 2}})), "doc");
    EXPECT_EQ(directoryExtension(documentWith({{"1Table", 2}, {"Data", 2}, {"x", 2}, {"Workbook", 2}})),
              "xls");
    EXPECT_EQ(directoryExtension(documentWith({{"Workbook", 2}, {"WordDocument", 2}})), "xls");
}

TEST(OleDirectory, ThumbnailCatalogueIsDb) {
    EXPECT_EQ(directoryExtension(documentWith({{"1", 2}, {"2", 2}, {"Catalog", 2}})), "db");
    EXPECT_EQ(directoryExtension(documentWith({{"1", 2}, {"2", 2}})), "db");
    EXPECT_EQ(directoryExtension(documentWith({{"2", 2}, {"1", 2}})), "none");
    EXPECT_EQ(directoryExtension(documentWith({{"1", 2}, {"22", 2}})), "none");
    // The names must stand in the same sector, second and third.
    EXPECT_EQ(directoryExtension(documentWith({{"a", 2}, {"b", 2}, {"c", 2}, {"x", 2}, {"1", 2}, {"2", 2}})),
              "db");
    // A table name before them wins.
    EXPECT_EQ(directoryExtension(documentWith({{"1", 2}, {"2", 2}, {"Workbook", 2}})), "xls");
}

TEST(OleDirectory, DamagedEntriesEndTheLookup) {
    for (const auto& [at, value] :
         std::vector<std::pair<size_t, uint8_t>>{{64, 20}, {66, 3}, {66, 4}, {67, 2}}) {
        CompoundBuilder document(1, 12, {kRoot, {"Data", 2}, {"Workbook", 2}});
        document.bytes()[document.entryOffset(1) + at] = value;
        EXPECT_EQ(directoryExtension(document.bytes()), "none") << at;
    }
    // A name that fills all 32 characters of its field has no terminator: a name size of 66 does not fit it.
    CompoundBuilder unterminated(1, 12, {kRoot, {"Workbook", 2}});
    for (size_t i = 8; i < 32; ++i)
        unterminated.le16(unterminated.entryOffset(1) + 2 * i, 'x');
    unterminated.le16(unterminated.entryOffset(1) + 64, 66);
    EXPECT_EQ(directoryExtension(unterminated.bytes()), "none");
    // Damage after the first match comes too late to matter.
    CompoundBuilder late(1, 12, {kRoot, {"Workbook", 2}, {"Data", 2}});
    late.bytes()[late.entryOffset(2) + 67] = 9;
    EXPECT_EQ(directoryExtension(late.bytes()), "xls");
}

TEST(OleDirectory, EmptyEntryEndsItsSectorOnly) {
    CompoundBuilder document(1, 12,
                             {kRoot, {"Data", 2}, {"", 0}, {"Workbook", 2}, {"x", 2}, {"WordDocument", 2}});
    document.bytes()[document.entryOffset(2) + 66] = 0;
    EXPECT_EQ(directoryExtension(document.bytes()), "doc");
}

// Regression: the directory walk stopped after as many sectors as the FAT
// has, so a small document (one FAT sector) whose application stream sits in
// its second directory sector was never named by it.
TEST(OleDirectory, WalkReachesEveryDirectorySectorOfTheChain) {
    std::vector<DirectoryEntry> entries{kRoot};
    for (int i = 0; i < 20; ++i)
        entries.push_back({"Stream" + std::to_string(i), 2});
    entries.push_back({"PowerPoint Document", 2});
    EXPECT_EQ(directoryExtension(CompoundBuilder(1, 30, entries).bytes()), "ppt");
}

TEST(OleDirectory, DirectoryChainsThatLoopOrLeaveTheFileEnd) {
    CompoundBuilder loop(1, 12, {kRoot, {"a", 2}, {"b", 2}, {"c", 2}});
    loop.fat(loop.firstDirectory(), loop.firstDirectory());
    EXPECT_EQ(directoryExtension(loop.bytes()), "none");
    CompoundBuilder outside(1, 12, {kRoot, {"a", 2}, {"b", 2}, {"c", 2}, {"Workbook", 2}});
    outside.fat(outside.firstDirectory(), 100);  // inside the FAT's reach, beyond the file
    EXPECT_EQ(directoryExtension(outside.bytes()), "none");
    outside.fat(outside.firstDirectory(), 128);  // beyond the FAT's reach: the walk ends
    EXPECT_EQ(directoryExtension(outside.bytes()), "none");
    CompoundBuilder first(1, 12, {kRoot, {"Workbook", 2}});
    first.le32(48, 11);  // the last sector of the file, empty
    EXPECT_EQ(directoryExtension(first.bytes()), "none");
    first.le32(48, CompoundBuilder::kEndOfChain);
    EXPECT_EQ(directoryExtension(first.bytes()), "none");
}

TEST(OleDirectory, TheGivenFileSizeBoundsEverySector) {
    const std::vector<uint8_t> bytes = sample("office/letter.doc");  // directory in sectors 15 and 16
    EXPECT_EQ(directoryExtension(bytes, bytes.size()), "doc");
    EXPECT_EQ(directoryExtension(bytes, bytes.size() - 1), "none");
    EXPECT_EQ(directoryExtension(bytes, 511), "none");
    std::vector<uint8_t> signature = bytes;
    signature[0] = 0;
    EXPECT_EQ(directoryExtension(signature), "none");
}

// Regression: the FAT sector count of the header was trusted for the size of
// the table loaded for the directory lookup (up to 2 TiB on a damaged header).
TEST(OleDirectory, FatCountBeyondTheFileIsRefusedBeforeLoading) {
    std::vector<uint8_t> bytes = sample("office/sheet.xls");
    put32(bytes, 44, 0xFFFFFFF0);
    EXPECT_EQ(directoryExtension(bytes), "none");
    put32(bytes, 44, 0);
    EXPECT_EQ(directoryExtension(bytes), "none");
}

TEST(OleEndCheck, CutsToTheFatSizeAndTakesTheDirectorysExtension) {
    std::vector<uint8_t> bytes = sample("office/letter.doc");
    bytes.resize(16384, 0);
    const CarveCandidate settled = endCheckOn(bytes, endCheckOle, "xls");
    EXPECT_EQ(settled.size, 9216u);
    EXPECT_STREQ(settled.extension, "doc");
}

TEST(OleEndCheck, DocumentShorterThanItsFatIsDropped) {
    std::vector<uint8_t> bytes = sample("office/sheet.xls");
    bytes.resize(bytes.size() - 512);
    EXPECT_EQ(endCheckOn(bytes, endCheckOle, "xls").size, 0u);
    bytes = sample("office/sheet.xls");
    EXPECT_EQ(endCheckOn(bytes, endCheckOle, "xls").size, bytes.size());  // exactly its size is enough
}

TEST(OleEndCheck, DamagedDirectoryKeepsTheFirstExtension) {
    const std::vector<uint8_t> bytes = sample("samples/FlashPix.ppt");
    const CarveCandidate settled = endCheckOn(bytes, endCheckOle, "ppt");
    EXPECT_EQ(settled.size, bytes.size());
    EXPECT_STREQ(settled.extension, "ppt");
}

TEST(OleEndCheck, UnsizableDocumentIsDropped) {
    std::vector<uint8_t> bytes = sample("office/letter.doc");
    put32(bytes, 44, 0);
    EXPECT_EQ(endCheckOn(bytes, endCheckOle, "doc").size, 0u);
}

}  // namespace
}  // namespace salvora

// Recognition of ZIP archives and the following of their members while they
// are carved.
#include "formats/zip.h"

#include <gtest/gtest.h>

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

// A stored member: local header, name, content (no extra field).
std::vector<uint8_t> member(const std::string& name, const std::string& content) {
    std::vector<uint8_t> bytes(30 + name.size() + content.size(), 0);
    test::putLe32(bytes, 0, 0x04034B50);
    test::putLe16(bytes, 4, 20);
    test::putLe32(bytes, 18, static_cast<uint32_t>(content.size()));
    test::putLe32(bytes, 22, static_cast<uint32_t>(content.size()));
    test::putLe16(bytes, 26, static_cast<uint16_t>(name.size()));
    std::copy(name.begin(), name.end(), bytes.begin() + 30);
    std::copy(content.begin(), content.end(), bytes.begin() + 30 + static_cast<ptrdiff_t>(name.size()));
    return bytes;
}

Recognised recognise(const std::vector<uint8_t>& start, const CarveCandidate& current = {}) {
    return test::recogniseWith(recogniseZip, start, current);
}

std::string extensionOf(const std::vector<uint8_t>& start) {
    return test::extensionOf(recognise(start));
}

// --- Registration and acceptance -------------------------------------------

TEST(ZipRecognition, BothSignaturesAreRegisteredAtOffsetZero) {
    EnabledFamilies families{{1, familyByExtension("zip")}, {0, nullptr}};
    SignatureRegistry registry;
    registry.build(families);
    CarveCandidate none;
    CarveCandidate fresh;
    for (const std::string path : {"zip/stored.zip", "samples/ZIP.zip"}) {
        const std::vector<uint8_t> window = windowWith(readFile(dataPath(path)));
        EXPECT_NE(registry.findHeader(window.data(), 65536, 0, none, fresh), nullptr) << path;
    }
    std::vector<uint8_t> spanned{'P', 'K', '0', '0'};
    test::append(spanned, readFile(dataPath("zip/stored.zip")));
    const std::vector<uint8_t> window = windowWith(spanned);
    EXPECT_NE(registry.findHeader(window.data(), 65536, 0, none, fresh), nullptr);
    registry.release();
}

TEST(ZipRecognition, LocalHeaderIsAcceptedWithMinimumSizeAndEndCheck) {
    const auto r = recognise(readFile(dataPath("zip/deflated.zip")));
    ASSERT_TRUE(r.accepted);
    EXPECT_STREQ(r.fresh.extension, "zip");
    EXPECT_EQ(r.fresh.minSize, 21u);
    EXPECT_EQ(r.fresh.endCheck, endCheckZip);
}

TEST(ZipRecognition, SpannedArchiveIsAcceptedWithoutMinimumSize) {
    std::vector<uint8_t> spanned{'P', 'K', '0', '0'};
    test::append(spanned, member("a.txt", "abc"));
    const auto r = recognise(spanned);
    ASSERT_TRUE(r.accepted);
    EXPECT_STREQ(r.fresh.extension, "zip");
    EXPECT_EQ(r.fresh.minSize, 0u);
    EXPECT_EQ(r.fresh.endCheck, endCheckZip);
}

TEST(ZipRecognition, OtherBytesAreRefused) {
    EXPECT_EQ(extensionOf({'P', 'K', 5, 6}), "(refused)");
    EXPECT_EQ(extensionOf({'P', 'K', '0', '0', 'P', 'K', 1, 2}), "(refused)");
}

// --- Naming from the first member -------------------------------------------

TEST(ZipNaming, OpenDocumentMimetypesNameTheFile) {
    const std::string base = "application/vnd.oasis.opendocument.";
    EXPECT_EQ(extensionOf(member("mimetype", base + "text")), "odt");
    EXPECT_EQ(extensionOf(member("mimetype", base + "spreadsheet")), "ods");
    EXPECT_EQ(extensionOf(member("mimetype", base + "presentation")), "odp");
    EXPECT_EQ(extensionOf(member("mimetype", base + "graphics")), "odg");
    EXPECT_EQ(extensionOf(readFile(dataPath("office/letter.odt"))), "odt");
    EXPECT_EQ(extensionOf(readFile(dataPath("office/sheet.ods"))), "ods");
    EXPECT_EQ(extensionOf(readFile(dataPath("office/slides.odp"))), "odp");
}

TEST(ZipNaming, OlderStarOfficeTypesAreNamedByTheirWord) {
    const std::string base = "application/vnd.sun.xml.";
    EXPECT_EQ(extensionOf(member("mimetype", base + "calc")), "sxc");
    EXPECT_EQ(extensionOf(member("mimetype", base + "draw")), "sxd");
    EXPECT_EQ(extensionOf(member("mimetype", base + "impress")), "sxi");
    EXPECT_EQ(extensionOf(member("mimetype", base + "writer")), "sxw");
    EXPECT_EQ(extensionOf(member("mimetype", base + "math")), "sxw");
}

TEST(ZipNaming, ContentTypesFirstIsNamedByTheFirstKindFoundNearTheStart) {
    const auto withNext = [](const std::string& nextName) {
        std::vector<uint8_t> start = member("[Content_Types].xml", "<Types/>");
        test::append(start, member(nextName, "<x/>"));
        return start;
    };
    EXPECT_EQ(extensionOf(withNext("word/document.xml")), "docx");
    EXPECT_EQ(extensionOf(withNext("xl/workbook.xml")), "xlsx");
    EXPECT_EQ(extensionOf(withNext("ppt/presentation.xml")), "pptx");
    EXPECT_EQ(extensionOf(withNext("docProps/app.xml")), "docx");
    EXPECT_EQ(extensionOf(readFile(dataPath("samples/OOXML.docx"))), "docx");
}

TEST(ZipNaming, KindWordsAreOnlySearchedInTheFirst2000Positions) {
    std::vector<uint8_t> start = member("[Content_Types].xml", std::string(2000, ' '));
    test::append(start, member("xl/workbook.xml", "<x/>"));
    EXPECT_EQ(extensionOf(start), "docx");
    // A word that starts at position 1999 is found.
    std::vector<uint8_t> edge = member("[Content_Types].xml", std::string(1999 - 49, ' ') + "ppt");
    EXPECT_EQ(extensionOf(edge), "pptx");
}

TEST(ZipNaming, OtherFirstMembersGiveZip) {
    EXPECT_EQ(extensionOf(member("mimetype", "text/plain")), "zip");
    EXPECT_EQ(extensionOf(member("readme.txt", "word xl ppt")), "zip");
    EXPECT_EQ(extensionOf(readFile(dataPath("office/letter.docx"))), "zip") << "renamed by the end check";
}

// --- Following the members while carving ------------------------------------

CarveCandidate follow(const std::vector<uint8_t>& archive, uint32_t blockSize, size_t upTo) {
    auto r = recognise(archive);
    EXPECT_TRUE(r.accepted);
    CarveCandidate candidate = std::move(r.fresh);
    const std::vector<uint8_t> part(archive.begin(), archive.begin() + static_cast<ptrdiff_t>(upTo));
    feedBlocks(part, blockSize, candidate);
    return candidate;
}

// Offsets of the local headers of an archive (from its central directory
// order, which Info-ZIP and LibreOffice keep the same as the data order).
std::vector<size_t> localHeaderOffsets(const std::vector<uint8_t>& archive) {
    std::vector<size_t> offsets;
    for (size_t i = 0; i + 46 <= archive.size(); ++i) {
        if (archive[i] == 'P' && archive[i + 1] == 'K' && archive[i + 2] == 1 && archive[i + 3] == 2) {
            offsets.push_back(archive[i + 42] | archive[i + 43] << 8 | archive[i + 44] << 16 |
                              static_cast<size_t>(archive[i + 45]) << 24);
        }
    }
    return offsets;
}

// A member whose header starts exactly on a block boundary is refused as a
// new file: it belongs to the archive in progress. The block size is chosen
// so that each member in turn starts a block (the walk works with any size).
TEST(ZipMembers, EveryMemberOnABlockBoundaryIsKnownAsTheNextMember) {
    for (const std::string path :
         {"zip/stored.zip", "zip/descriptors.zip", "zip/stdin_piped.zip", "zip/stdin.zip",
          "office/letter.odt", "office/slides.pptx", "samples/OOXML.docx"}) {
        const std::vector<uint8_t> archive = readFile(dataPath(path));
        for (const size_t offset : localHeaderOffsets(archive)) {
            for (const size_t blocks : {1u, 2u, 3u}) {
                const uint32_t blockSize = static_cast<uint32_t>(offset / blocks);
                if (offset % blocks != 0 || blockSize < 40)
                    continue;
                CarveCandidate candidate = follow(archive, blockSize, offset);
                const std::string where =
                    path + " member at " + std::to_string(offset) + " block " + std::to_string(blockSize);
                EXPECT_EQ(candidate.blockCheck, blockCheckZip) << where;
                EXPECT_EQ(candidate.expectedSize, offset) << where;
                const std::vector<uint8_t> rest(archive.begin() + static_cast<ptrdiff_t>(offset),
                                                archive.end());
                FamilyTally tally{familyByExtension("zip"), nullptr};
                candidate.tally = &tally;
                EXPECT_FALSE(recognise(rest, candidate).accepted) << where;
            }
        }
    }
}

TEST(ZipMembers, MemberAt4096IsRefusedAfterTheBlocksBeforeIt) {
    for (const std::string path : {"zip/member_at_4096.zip", "zip/descriptor_member_at_4096.zip"}) {
        const std::vector<uint8_t> archive = readFile(dataPath(path));
        for (const uint32_t blockSize : {512u, 4096u}) {
            CarveCandidate candidate = follow(archive, blockSize, 4096);
            EXPECT_EQ(candidate.expectedSize, 4096u) << path << " block " << blockSize;
            EXPECT_EQ(candidate.blockCheck, blockCheckZip) << path;
        }
    }
}

TEST(ZipMembers, FollowingStopsAtTheCentralDirectoryAndNeverEndsTheFile) {
    const std::vector<uint8_t> archive = readFile(dataPath("zip/deflated.zip"));
    std::vector<uint8_t> file = archive;
    file.resize(8192, 0x5A);
    auto r = recognise(file);
    CarveCandidate candidate = std::move(r.fresh);
    EXPECT_EQ(feedBlocks(file, 512, candidate), 16u) << "every block handed: the engine ends the file";
    EXPECT_EQ(candidate.blockCheck, nullptr);
}

TEST(ZipMembers, ANewArchiveAnywhereElseIsAccepted) {
    const std::vector<uint8_t> archive = readFile(dataPath("zip/stored.zip"));
    FamilyTally tally{familyByExtension("zip"), nullptr};
    CarveCandidate current;
    current.tally = &tally;
    current.blockCheck = blockCheckZip;
    current.size = 8192;
    current.expectedSize = 8000;
    EXPECT_TRUE(recognise(archive, current).accepted);
    current.expectedSize = 8192;
    current.blockCheck = nullptr;  // no longer followed
    EXPECT_TRUE(recognise(archive, current).accepted);
}

}  // namespace
}  // namespace salvora

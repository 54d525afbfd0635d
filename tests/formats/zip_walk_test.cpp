// The end check of ZIP archives: the record walk over the written output, and
// the forward search for data descriptors.
#include <gtest/gtest.h>

#include "formats/zip.h"
#include "formats/zip_mov_support.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::dataPath;
using test::readFile;
using test::WrittenCandidate;

struct Walked {
    uint64_t size;
    std::string extension;
};

// Runs the end check over `written` as the output of a file named `extension`.
Walked walk(const std::vector<uint8_t>& written, const char* extension = "zip") {
    WrittenCandidate file(written);
    file.candidate.extension = extension;
    endCheckZip(file.candidate);
    return {file.candidate.size, file.candidate.extension ? file.candidate.extension : ""};
}

std::vector<uint8_t> withTail(std::vector<uint8_t> bytes, size_t count, uint8_t value) {
    bytes.resize(bytes.size() + count, value);
    return bytes;
}

size_t endRecordAt(const std::vector<uint8_t>& archive) {
    for (size_t i = archive.size() - 22 + 1; i-- > 0;) {
        if (archive[i] == 'P' && archive[i + 1] == 'K' && archive[i + 2] == 5 && archive[i + 3] == 6)
            return i;
    }
    return 0;
}

// --- Whole archives ----------------------------------------------------------

TEST(ZipWalk, RealArchivesEndRightAfterTheirEndRecord) {
    for (const std::string path :
         {"zip/stored.zip", "zip/deflated.zip", "zip/descriptors.zip", "zip/stdin.zip", "zip/stdin_piped.zip",
          "zip/commented.zip", "zip/descriptor_lookalike.zip", "zip/member_at_4096.zip",
          "zip/descriptor_member_at_4096.zip", "samples/ZIP.zip", "office/letter.odt", "office/sheet.ods",
          "office/slides.odp"}) {
        const std::vector<uint8_t> archive = readFile(dataPath(path));
        EXPECT_EQ(walk(archive).size, archive.size()) << path;
        // What the carve loop wrote after it (the rest of the last block) is cut.
        EXPECT_EQ(walk(withTail(archive, 4000, 0)).size, archive.size()) << path;
        EXPECT_EQ(walk(withTail(archive, 700, 'P')).size, archive.size()) << path;
    }
}

TEST(ZipWalk, CommentIsKeptAndWhatFollowsItIsCut) {
    const std::vector<uint8_t> archive = readFile(dataPath("zip/commented.zip"));
    const size_t end = endRecordAt(archive);
    ASSERT_EQ(archive[end + 20] + 22u + end, archive.size()) << "comment runs to the end of the archive";
    ASSERT_GT(archive[end + 20], 0);
    EXPECT_EQ(walk(withTail(archive, 100, 'x')).size, archive.size());
}

// --- Naming from the members --------------------------------------------------

TEST(ZipWalk, OfficeOpenXmlIsNamedByItsMembersWhereverContentTypesStands) {
    // LibreOffice: "[Content_Types].xml" last; Word: first.
    EXPECT_EQ(walk(readFile(dataPath("office/letter.docx"))).extension, "docx");
    EXPECT_EQ(walk(readFile(dataPath("office/sheet.xlsx"))).extension, "xlsx");
    EXPECT_EQ(walk(readFile(dataPath("office/slides.pptx"))).extension, "pptx");
    EXPECT_EQ(walk(readFile(dataPath("samples/OOXML.docx")), "docx").extension, "docx");
    // A package guessed as a workbook at recognition follows its members.
    EXPECT_EQ(walk(readFile(dataPath("samples/OOXML.docx")), "xlsx").extension, "docx");
}

TEST(ZipWalk, NamesOutsideAPackageLeaveTheExtensionAlone) {
    EXPECT_EQ(walk(readFile(dataPath("office/letter.odt")), "odt").extension, "odt");
    EXPECT_EQ(walk(readFile(dataPath("zip/stored.zip"))).extension, "zip");
    // Members named word/... without "[Content_Types].xml": an ordinary archive.
    std::vector<uint8_t> docx = readFile(dataPath("office/letter.docx"));
    for (size_t i = 0; i + 19 <= docx.size(); ++i) {
        if (std::memcmp(docx.data() + i, "[Content_Types].xml", 19) == 0)
            docx[i + 1] = 'c';
    }
    EXPECT_EQ(walk(docx).extension, "zip");
}

// --- Archives that are dropped -----------------------------------------------

TEST(ZipWalk, ArchiveCutAnywhereBeforeItsEndRecordIsDropped) {
    for (const std::string path :
         {"zip/deflated.zip", "zip/descriptors.zip", "zip/stdin_piped.zip", "office/letter.docx"}) {
        const std::vector<uint8_t> archive = readFile(dataPath(path));
        const size_t end = endRecordAt(archive);
        for (size_t length = 1; length < end + 22; ++length) {
            const std::vector<uint8_t> cut(archive.begin(), archive.begin() + static_cast<ptrdiff_t>(length));
            ASSERT_EQ(walk(cut).size, 0u) << path << " cut at " << length;
        }
    }
}

// The comment is the last thing in an archive: when the written data ends in
// it, the archive is kept up to where the data ends.
TEST(ZipWalk, CommentCutByTheEndOfTheDataKeepsTheArchive) {
    const std::vector<uint8_t> archive = readFile(dataPath("zip/commented.zip"));
    const size_t end = endRecordAt(archive);
    for (size_t length = end + 22; length <= archive.size(); ++length) {
        const std::vector<uint8_t> cut(archive.begin(), archive.begin() + static_cast<ptrdiff_t>(length));
        EXPECT_EQ(walk(cut).size, length);
    }
}

// Regression: a comment length pointing past the written data must not give
// a size beyond it.
TEST(ZipWalk, CommentLengthPastTheWrittenDataIsClampedToTheData) {
    std::vector<uint8_t> archive = readFile(dataPath("zip/stored.zip"));
    test::putLe16(archive, endRecordAt(archive) + 20, 0xFFFF);
    EXPECT_EQ(walk(archive).size, archive.size());
}

TEST(ZipWalk, MemberWhoseDescriptorNeverComesIsDropped) {
    std::vector<uint8_t> archive = readFile(dataPath("zip/descriptors.zip"));
    for (size_t i = 0; i + 4 <= archive.size(); ++i) {
        if (archive[i] == 'P' && archive[i + 1] == 'K' && archive[i + 2] == 7 && archive[i + 3] == 8)
            archive[i + 3] = 9;
    }
    EXPECT_EQ(walk(archive).size, 0u);
}

// Regression: the descriptor signature inside a member's compressed data
// (here in a stored deflate block) was taken for its descriptor, and the
// archive was dropped.
TEST(ZipWalk, DescriptorSignatureInsideTheDataIsPassedOver) {
    const std::vector<uint8_t> archive = readFile(dataPath("zip/descriptor_lookalike.zip"));
    ASSERT_EQ(std::search(archive.begin(), archive.end(), "PK\7\10", "PK\7\10" + 4) - archive.begin(), 1048);
    EXPECT_EQ(walk(archive).size, archive.size());
}

TEST(ZipWalk, DescriptorThatDisagreesWithTheMeasuredLengthIsDropped) {
    std::vector<uint8_t> archive = readFile(dataPath("zip/descriptors.zip"));
    const size_t first = static_cast<size_t>(
        std::search(archive.begin(), archive.end(), "PK\7\10", "PK\7\10" + 4) - archive.begin());
    ASSERT_LT(first, archive.size());
    archive[first + 8] ^= 1;  // the compressed size field
    EXPECT_EQ(walk(archive).size, 0u);
}

TEST(ZipWalk, SpannedArchiveIsDropped) {
    std::vector<uint8_t> spanned = readFile(dataPath("zip/stored.zip"));
    spanned.insert(spanned.begin(), {'P', 'K', '0', '0'});
    EXPECT_EQ(walk(spanned).size, 0u);
}

TEST(ZipWalk, UnknownRecordIsDropped) {
    std::vector<uint8_t> archive = readFile(dataPath("zip/stored.zip"));
    const size_t central = static_cast<size_t>(
        std::search(archive.begin(), archive.end(), "PK\1\2", "PK\1\2" + 4) - archive.begin());
    archive[central + 2] = 9;
    EXPECT_EQ(walk(archive).size, 0u);
    EXPECT_EQ(walk({}).size, 0u);
}

// --- The rarer records ----------------------------------------------------------

// Inserts `record` before the end-of-central-directory record.
std::vector<uint8_t> withRecordBeforeEnd(const std::vector<uint8_t>& archive,
                                         const std::vector<uint8_t>& record) {
    std::vector<uint8_t> bytes = archive;
    bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(endRecordAt(archive)), record.begin(), record.end());
    return bytes;
}

TEST(ZipWalk, DigitalSignatureAndZip64RecordsAreSkipped) {
    const std::vector<uint8_t> archive = readFile(dataPath("zip/stored.zip"));
    std::vector<uint8_t> signature{'P', 'K', 5, 5, 6, 0, 1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> bytes = withRecordBeforeEnd(archive, signature);
    EXPECT_EQ(walk(bytes).size, bytes.size());
    // zip64 end record with 10 bytes of extensible data, then its locator.
    std::vector<uint8_t> zip64(56 + 10, 0);
    test::putLe32(zip64, 0, 0x06064B50);
    test::putLe32(zip64, 4, 44 + 10);
    std::vector<uint8_t> locator(20, 0);
    test::putLe32(locator, 0, 0x07064B50);
    test::append(zip64, locator);
    bytes = withRecordBeforeEnd(archive, zip64);
    EXPECT_EQ(walk(bytes).size, bytes.size());
}

// Regression: a zip64 end record size near 2^64 made the skip wrap around
// (a backward seek, or a size that overflows).
TEST(ZipWalk, Zip64EndRecordSizesThatOverflowAreDropped) {
    const std::vector<uint8_t> archive = readFile(dataPath("zip/stored.zip"));
    for (const uint64_t recordSize :
         {~uint64_t{0}, uint64_t{1} << 63, (uint64_t{1} << 63) + 44, uint64_t{100000}}) {
        std::vector<uint8_t> zip64(56, 0);
        test::putLe32(zip64, 0, 0x06064B50);
        test::putLe32(zip64, 4, static_cast<uint32_t>(recordSize));
        test::putLe32(zip64, 8, static_cast<uint32_t>(recordSize >> 32));
        EXPECT_EQ(walk(withRecordBeforeEnd(archive, zip64)).size, 0u) << recordSize;
    }
    // A record size of 44 or less has no extensible data.
    std::vector<uint8_t> zip64(56, 0);
    test::putLe32(zip64, 0, 0x06064B50);
    test::putLe32(zip64, 4, 12);
    const std::vector<uint8_t> bytes = withRecordBeforeEnd(archive, zip64);
    EXPECT_EQ(walk(bytes).size, bytes.size());
}

// --- findForward -----------------------------------------------------------------

struct Found {
    int64_t distance;
};

Found find(const std::vector<uint8_t>& bytes, uint64_t from, const std::vector<uint8_t>& pattern) {
    WrittenCandidate file(bytes);
    return {findForward(file.candidate.output, from, pattern.data(), static_cast<uint32_t>(pattern.size()))};
}

TEST(FindForward, PatternAcrossEveryChunkBoundaryIsFound) {
    const std::vector<uint8_t> pattern{'P', 'K', 7, 8};
    for (const size_t from : {size_t{0}, size_t{1}, size_t{100}}) {
        for (size_t at = from + 4090; at < from + 4100; ++at) {
            for (const size_t chunks : {size_t{0}, size_t{1}}) {
                std::vector<uint8_t> bytes(from + 9000, 'P');
                const size_t where = at + chunks * 4093;
                std::copy(pattern.begin(), pattern.end(), bytes.begin() + static_cast<ptrdiff_t>(where));
                const Found found = find(bytes, from, pattern);
                EXPECT_EQ(found.distance, static_cast<int64_t>(where - from)) << from << " " << where;
            }
        }
    }
}

TEST(FindForward, PatternBeforeTheStartOrCutByTheEndIsNotFound) {
    std::vector<uint8_t> bytes(5000, 0);
    bytes[10] = 'P', bytes[11] = 'K', bytes[12] = 7, bytes[13] = 8;
    EXPECT_EQ(find(bytes, 11, {'P', 'K', 7, 8}).distance, -1);
    bytes[4997] = 'P', bytes[4998] = 'K', bytes[4999] = 7;
    EXPECT_EQ(find(bytes, 100, {'P', 'K', 7, 8}).distance, -1);
    EXPECT_EQ(find({}, 0, {'P', 'K', 7, 8}).distance, -1);
    EXPECT_EQ(find({1, 2}, 0, {'P', 'K', 7, 8}).distance, -1);
}

// Regression: a chunk shorter than the pattern, or a pattern longer than a
// chunk, must not make the search step backwards for ever.
TEST(FindForward, EveryStepMovesForward) {
    std::vector<uint8_t> pattern(5000, 'a');
    pattern.back() = 'b';
    std::vector<uint8_t> bytes(20000, 'a');
    EXPECT_EQ(find(bytes, 0, pattern).distance, -1);
    bytes[15000] = 'b';
    EXPECT_EQ(find(bytes, 0, pattern).distance, 15000 - 4999);
    EXPECT_EQ(find(bytes, 3, {}).distance, 0);
}

}  // namespace
}  // namespace salvora

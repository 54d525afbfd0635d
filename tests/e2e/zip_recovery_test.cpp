// Archives and office documents laid in a card image come back whole, named
// by their content, through a whole recovery.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/recovery_harness.h"

namespace salvora {
namespace {

using test::dataPath;
using test::ImageBuilder;
using test::readFile;
using test::recoverImage;

constexpr size_t kCluster = 4096;

struct Expected {
    std::string path;       // under tests/data
    std::string extension;  // of the recovered file
};

std::string name(size_t number, const std::string& extension) {
    char text[32];
    std::snprintf(text, sizeof text, "KV%05u.", static_cast<unsigned>(number));
    return text + extension;
}

size_t roundUp(size_t n) {
    return (n + kCluster - 1) / kCluster * kCluster;
}

// Lays the files one after the other on cluster boundaries, with unrelated
// bytes in the slack after each, and checks that each comes back in order.
void expectRecovered(const std::vector<Expected>& files) {
    std::vector<std::vector<uint8_t>> contents;
    size_t total = 3 * kCluster;
    for (const Expected& file : files) {
        contents.push_back(readFile(dataPath(file.path)));
        total += roundUp(contents.back().size() + 1) + kCluster;
    }
    ImageBuilder image(total + 4 * kCluster);
    size_t offset = 3 * kCluster;
    for (size_t i = 0; i < files.size(); ++i) {
        image.place(offset, contents[i]);
        const size_t next = offset + roundUp(contents[i].size() + 1) + kCluster;
        image.noise(offset + contents[i].size(), next, static_cast<uint32_t>(i + 1));
        offset = next;
    }
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"zip"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(recovery.savedCounter, files.size());
    ASSERT_EQ(recovery.files.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string expected = name(i, files[i].extension);
        ASSERT_TRUE(recovery.files.count(expected)) << files[i].path << " not saved as " << expected;
        EXPECT_EQ(recovery.files.at(expected), contents[i]) << files[i].path;
    }
}

TEST(ZipRecovery, InfoZipArchivesComeBackByteIdentical) {
    expectRecovered({{"zip/stored.zip", "zip"},
                     {"zip/deflated.zip", "zip"},
                     {"zip/descriptors.zip", "zip"},
                     {"zip/commented.zip", "zip"},
                     {"zip/descriptor_lookalike.zip", "zip"},
                     {"samples/ZIP.zip", "zip"}});
}

// Info-ZIP reading a member from a pipe writes zip64 fields: sizes of all
// ones in the local header, or data descriptors with 8-byte sizes.
TEST(ZipRecovery, ArchivesWithZip64FieldsFromAPipeComeBack) {
    expectRecovered({{"zip/stdin.zip", "zip"}, {"zip/stdin_piped.zip", "zip"}});
}

TEST(ZipRecovery, OpenDocumentFilesComeBackNamedByTheirMimetype) {
    expectRecovered(
        {{"office/letter.odt", "odt"}, {"office/sheet.ods", "ods"}, {"office/slides.odp", "odp"}});
}

// LibreOffice writes "[Content_Types].xml" last: the name comes from the
// members before it.
TEST(ZipRecovery, OfficeOpenXmlFilesComeBackNamedByTheirMembers) {
    expectRecovered({{"office/letter.docx", "docx"},
                     {"office/sheet.xlsx", "xlsx"},
                     {"office/slides.pptx", "pptx"},
                     {"samples/OOXML.docx", "docx"}});
}

// A member whose local header falls on a block boundary does not split the
// archive: it is the next member of the archive in progress.
TEST(ZipRecovery, MemberOnABlockBoundaryStaysInItsArchive) {
    expectRecovered({{"zip/member_at_4096.zip", "zip"}, {"zip/descriptor_member_at_4096.zip", "zip"}});
}

TEST(ZipRecovery, ArchiveCutBeforeItsEndRecordIsDropped) {
    const std::vector<uint8_t> archive = readFile(dataPath("zip/deflated.zip"));
    std::vector<uint8_t> cut(archive.begin(), archive.end() - 22);  // the end record goes
    ImageBuilder image(64 * kCluster);
    image.place(3 * kCluster, cut);
    image.place(8 * kCluster, archive);
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"zip"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    ASSERT_EQ(recovery.files.size(), 1u);
    EXPECT_EQ(recovery.files.at("KV00000.zip"), archive);
}

TEST(ZipRecovery, SpannedArchiveIsDroppedAndEndsTheArchiveBeforeIt) {
    const std::vector<uint8_t> archive = readFile(dataPath("zip/stored.zip"));
    std::vector<uint8_t> spanned = archive;
    spanned.insert(spanned.begin(), {'P', 'K', '0', '0'});
    ImageBuilder image(64 * kCluster);
    image.place(3 * kCluster, archive);
    image.place(3 * kCluster + roundUp(archive.size()), spanned);
    const auto recovery = recoverImage(image.bytes(), test::onlyFamilies({"zip"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    ASSERT_EQ(recovery.files.size(), 1u);
    EXPECT_EQ(recovery.files.at("KV00000.zip"), archive);
}

}  // namespace
}  // namespace salvora

// The DFXML report: the document a recovery writes, record by record.
#include "recovery_app/core/dfxml_report.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "formats/family_table.h"
#include "recovery_app/core/report.h"
#include "support/test_files.h"

namespace salvora {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    EXPECT_EQ(xmlText("a&b<c>\"d'"), "a&amp;b&lt;c&gt;&quot;d&apos;");
    EXPECT_EQ(xmlText("Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7"),
              "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7");
    EXPECT_EQ(xmlText("tab\tline\n"), "tab\tline\n");
    EXPECT_EQ(xmlText("bell\x07"), "bell\xef\xbf\xbd") << "XML 1.0 has no control characters";
    EXPECT_EQ(xmlText("Caf\xe9"), "Caf\xef\xbf\xbd") << "Latin-1, not UTF-8";
    EXPECT_EQ(xmlText("\xc0\xaf"), "\xef\xbf\xbd\xef\xbf\xbd") << "an overlong slash";
    EXPECT_EQ(xmlText("\xed\xa0\x80"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd") << "a surrogate";
    EXPECT_EQ(xmlText("\xe2\x82"), "\xef\xbf\xbd\xef\xbf\xbd") << "cut short";
    EXPECT_EQ(xmlText("\xef\xbf\xbe"), "\xef\xbf\xbd") << "U+FFFE is no XML character";
}

class DfxmlReport : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeFile(dir.path() / "KV00000.jpg", {'a', 'b', 'c'});
        test::writeFile(dir.path() / "KV00001.pdf", {});
        source.version = "1.4.0";
        source.commandLine = "salvora recover --image 'my card.E01' --report found.xml";
        source.startTime = "2026-11-30T10:15:00Z";
        source.imageFiles = {"/cases/my card.E01", "/cases/my card.E02"};
        source.size = 8388608;
        source.sectorSize = 512;
        source.acquiredHashes = {{"md5", "6e9bc90da36e162f83201f0d27271409"},
                                 {"sha1", "6746eb8a5cbd2df2ef18ce08190a693f43162bb9"}};
        source.partition = 2;
    }

    test::TempDir dir;
    ReportSource source;
};

const char* kHead =
    "<?xml version='1.0' encoding='UTF-8'?>\n"
    "<dfxml xmlns='http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML'\n"
    "       xmlns:dc='http://purl.org/dc/elements/1.1/'\n"
    "       xmlns:salvora='urn:x-salvora:dfxml'\n"
    "       version='2.0.0-beta.0'>\n"
    "  <metadata>\n"
    "    <dc:type>Carve Report</dc:type>\n"
    "  </metadata>\n"
    "  <creator>\n"
    "    <program>salvora</program>\n"
    "    <version>1.4.0</version>\n"
    "    <execution_environment>\n"
    "      <command_line>salvora recover --image &apos;my card.E01&apos; --report found.xml</command_line>\n"
    "      <start_time>2026-11-30T10:15:00Z</start_time>\n"
    "    </execution_environment>\n"
    "  </creator>\n"
    "  <source>\n"
    "    <image_filename>/cases/my card.E01</image_filename>\n"
    "    <image_filename>/cases/my card.E02</image_filename>\n"
    "  </source>\n"
    "  <diskimageobject>\n"
    "    <byte_runs>\n"
    "      <byte_run img_offset='0' len='8388608'>\n"
    "        <hashdigest type='md5'>6e9bc90da36e162f83201f0d27271409</hashdigest>\n"
    "        <hashdigest type='sha1'>6746eb8a5cbd2df2ef18ce08190a693f43162bb9</hashdigest>\n"
    "      </byte_run>\n"
    "    </byte_runs>\n"
    "    <sector_size>512</sector_size>\n"
    "  </diskimageobject>\n";

// Each record is on disk as soon as it is written; the unreadable ranges and
// the end of the document come with close().
TEST_F(DfxmlReport, WritesTheHeadAndEachFileObjectAsItGoes) {
    const auto path = dir.path() / "found.xml";
    RecoveryReport report;
    std::string why;
    ASSERT_TRUE(report.open(path.string(), why, source)) << why;
    EXPECT_EQ(slurp(path), kHead);

    SavedFile photo;
    photo.path = (dir.path() / "KV00000.jpg").string();
    photo.family = familyByExtension("jpg");
    photo.extension = "jpg";
    photo.startOffset = 1048576;
    photo.size = 3;
    report.fileSaved(photo);
    report.unreadable(4096, 512);
    const std::string photoObject =
        "  <fileobject>\n"
        "    <filename>KV00000.jpg</filename>\n"
        "    <partition>2</partition>\n"
        "    <filesize>3</filesize>\n"
        "    <byte_runs>\n"
        "      <byte_run file_offset='0' img_offset='1048576' len='3'/>\n"
        "    </byte_runs>\n"
        "    <hashdigest "
        "type='sha256'>ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad</hashdigest>\n"
        "    <salvora:family>jpg</salvora:family>\n"
        "  </fileobject>\n";
    EXPECT_EQ(slurp(path), kHead + photoObject);

    // A file in two pieces: the record carries both runs.
    ReportedFile pieces;
    pieces.path = (dir.path() / "KV00001.pdf").string();
    pieces.extension = "pdf";
    pieces.size = 0;
    pieces.runs = {{0, 2097152, 0}, {0, 3145728, 0}};
    report.fileSaved(pieces);
    report.close();
    EXPECT_EQ(
        slurp(path),
        kHead + photoObject +
            "  <fileobject>\n"
            "    <filename>KV00001.pdf</filename>\n"
            "    <partition>2</partition>\n"
            "    <filesize>0</filesize>\n"
            "    <byte_runs>\n"
            "      <byte_run file_offset='0' img_offset='2097152' len='0'/>\n"
            "      <byte_run file_offset='0' img_offset='3145728' len='0'/>\n"
            "    </byte_runs>\n"
            "    <hashdigest "
            "type='sha256'>e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855</hashdigest>\n"
            "  </fileobject>\n"
            "  <salvora:unreadable img_offset='4096' len='512'/>\n"
            "</dfxml>\n");
    const std::string closed = slurp(path);
    report.close();
    EXPECT_EQ(slurp(path), closed) << "a second close writes nothing";
}

TEST_F(DfxmlReport, WholeMediumWithoutHashesAndTheDestructorClosesTheDocument) {
    source.acquiredHashes.clear();
    source.partition = 0;
    source.imageFiles = {"/dev/sdb"};
    const auto path = dir.path() / "disk.xml";
    {
        RecoveryReport report;
        std::string why;
        ASSERT_TRUE(report.open(path.string(), why, source)) << why;
    }
    const std::string text = slurp(path);
    EXPECT_NE(text.find("    <image_filename>/dev/sdb</image_filename>\n"), std::string::npos) << text;
    EXPECT_NE(text.find("      <byte_run img_offset='0' len='8388608'/>\n    </byte_runs>\n"),
              std::string::npos)
        << text;
    const std::string end = "    <sector_size>512</sector_size>\n  </diskimageobject>\n</dfxml>\n";
    ASSERT_GE(text.size(), end.size());
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

TEST(ReportFormat, ChosenByTheExtension) {
    EXPECT_EQ(RecoveryReport::formatFor("found.xml"), RecoveryReport::Format::Dfxml);
    EXPECT_EQ(RecoveryReport::formatFor("found.jsonl"), RecoveryReport::Format::JsonLines);
    EXPECT_EQ(RecoveryReport::formatFor("found.csv"), RecoveryReport::Format::Csv);
    EXPECT_EQ(RecoveryReport::formatFor("found.xml.txt"), RecoveryReport::Format::Csv);
    EXPECT_EQ(RecoveryReport::formatFor("found"), RecoveryReport::Format::Csv);
}

}  // namespace
}  // namespace salvora

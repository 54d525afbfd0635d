#include "recovery_app/core/report.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "formats/family_table.h"
#include "recovery_app/core/sha256.h"
#include "support/test_files.h"

namespace salvora {
namespace {

std::string hashOf(const std::string& text) {
    Sha256 hash;
    hash.update(text.data(), text.size());
    return hexDigest(hash.finish());
}

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(hashOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hashOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hashOf(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A file a read failure cut short is marked partial in every report form.
TEST(RecoveryReport, PartialFilesAreMarked) {
    test::TempDir dir;
    test::writeFile(dir.path() / "KV00000.mpg", {'a', 'b', 'c'});
    SavedFile saved;
    saved.path = (dir.path() / "KV00000.mpg").string();
    saved.family = familyByExtension("mpg");
    saved.extension = "mpg";
    saved.startOffset = 4096;
    saved.size = 3;
    saved.partial = true;
    for (const char* name : {"report.csv", "report.jsonl", "report.xml"}) {
        std::string why;
        {
            RecoveryReport report;
            ASSERT_TRUE(report.open((dir.path() / name).string(), why)) << why;
            report.fileSaved(saved);
        }
        const std::string text = slurp(dir.path() / name);
        const std::string mark = RecoveryReport::formatFor(name) == RecoveryReport::Format::Csv
                                     ? ",no,yes,\"4096+3\"\n"
                                 : RecoveryReport::formatFor(name) == RecoveryReport::Format::JsonLines
                                     ? "\"partial\":true,"
                                     : "<salvora:partial>true</salvora:partial>";
        EXPECT_NE(text.find(mark), std::string::npos) << name << ":\n" << text;
    }
}

TEST(RecoveryReport, CsvAndJsonLinesRowsPerSavedFile) {
    test::TempDir dir;
    test::writeFile(dir.path() / "KV00000.jpg", {'a', 'b', 'c'});
    SavedFile saved;
    saved.path = (dir.path() / "KV00000.jpg").string();
    saved.family = familyByExtension("jpg");
    saved.extension = "jpg";
    saved.startOffset = 1048576;
    saved.size = 3;
    for (const char* name : {"report.csv", "report.jsonl"}) {
        std::string why;
        RecoveryReport report;
        ASSERT_TRUE(report.open((dir.path() / name).string(), why)) << why;
        report.fileSaved(saved);
        report.unreadable(4096, 512);
        // Rows are on disk as soon as they are written.
        const std::string text = slurp(dir.path() / name);
        const std::string digest = hashOf("abc");
        if (RecoveryReport::formatFor(name) == RecoveryReport::Format::Csv) {
            EXPECT_EQ(text,
                      "name,family,extension,offset,size,sha256,source_name,joined,partial,runs\n"
                      "\"KV00000.jpg\",\"jpg\",\"jpg\",1048576,3," +
                          digest + ",\"\",no,no,\"1048576+3\"\n\"(unreadable)\",\"\",\"\",4096,512,,,,,\n");
        } else {
            EXPECT_EQ(text,
                      "{\"name\":\"KV00000.jpg\",\"family\":\"jpg\",\"extension\":\"jpg\",\"offset\":1048576,"
                      "\"size\":3,\"sha256\":\"" +
                          digest +
                          "\",\"source_name\":\"\",\"joined\":false,\"partial\":false,"
                          "\"runs\":[{\"offset\":1048576,\"length\":3}]}\n"
                          "{\"unreadable\":true,\"offset\":4096,\"size\":512}\n");
        }
    }
}

TEST(RecoveryReport, UnwritableReportSaysWhy) {
    RecoveryReport report;
    std::string why;
    EXPECT_FALSE(report.open("/nonexistent-folder/report.csv", why));
    EXPECT_NE(why.find("report.csv"), std::string::npos);
}

}  // namespace
}  // namespace salvora

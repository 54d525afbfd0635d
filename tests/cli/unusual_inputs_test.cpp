// Inputs a user (or a hostile local user) may give that are not plain disk
// images: pipes, character devices, images cut short, damaged stretches,
// paths that are not UTF-8, type names in capitals or by another extension.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "run_salvora.h"
#include "salvora_process.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::runSalvora;

const char* kPhoto = "jpeg/jfif_plain_200x150.jpg";

std::vector<std::string> lines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

size_t count(const std::string& text, const std::string& word) {
    size_t found = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++found;
    return found;
}

class UnusualInputs : public ::testing::Test {
  protected:
    fs::path path(const std::string& name) const { return dir.path() / name; }
    test::TempDir dir;
};

// A FIFO named as an image used to block for ever in open().
TEST_F(UnusualInputs, PipesAndCharacterDevicesAreRefusedAtOnceByName) {
    ASSERT_EQ(::mkfifo(path("feed").c_str(), 0600), 0);
    struct Case {
        std::vector<std::string> arguments;
        std::string says;
    };
    const std::string never = path("never").string();
    const std::vector<Case> cases{
        {{"recover", "--image", path("feed").string(), "--out", never}, "is a pipe, not a disk image"},
        {{"partitions", "--image", path("feed").string()}, "is a pipe, not a disk image"},
        {{"recover", "--device", path("feed").string(), "--out", never}, "is a pipe, not a disk"},
        {{"recover", "--image", "/dev/urandom", "--out", never}, "is a character device, not a disk image"},
        {{"partitions", "--image", "/dev/null"}, "is a character device, not a disk image"},
    };
    for (const Case& c : cases) {
        // "timeout" turns a hang into exit status 124 instead of a stuck test.
        const auto run = runSalvora(c.arguments, "timeout 20");
        EXPECT_EQ(run.status, 3) << c.arguments[2] << "\n" << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(never));
    }
}

TEST_F(UnusualInputs, OnlyOneSourceMayBeNamed) {
    test::writeFile(path("card.img"), std::vector<uint8_t>(4096, 0));
    const auto run = runSalvora(
        {"recover", "--image", path("card.img").string(), "--disk", "1", "--out", path("o").string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("name only one of --image, --disk, --device"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(path("o")));
}

// A PC table written for a 32 MiB disk on an image cut to 16 MiB: partition 2
// (5 to 25 MiB) is cut short, partition 3 (from 25 MiB) is gone.
class CutShortImage : public UnusualInputs {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_TOOLS("sfdisk", "mkfs.vfat", "mcopy", "truncate");
        ASSERT_TRUE(test::makeBlankImage(image(), 32 << 20));
        ASSERT_TRUE(test::writeTable(image(), {{2048, 8192, "1"}, {10240, 40960, "6"}, {51200, 8192, "c"}}));
        ASSERT_TRUE(test::makeFat(image(), 2048, 8192, 12, "FITS"));
        ASSERT_TRUE(test::makeFat(image(), 10240, 40960, 16, "HALF"));
        ASSERT_TRUE(test::copyIntoFat(image(), 10240, test::dataPath(kPhoto)));
        fs::resize_file(image(), 16 << 20);
    }
    fs::path image() const { return path("cut.img"); }
};

TEST_F(CutShortImage, PartitionsNamesThePartitionsBeyondTheEnd) {
    const auto run = runSalvora({"partitions", "--image", image().string()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("  2  HALF"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("Partition 2 (HALF, FAT16) ends 9437184 bytes (9.0 MB) beyond the end of " +
                           image().string()),
              std::string::npos)
        << run.err;
    EXPECT_NE(
        run.err.find("Partition 3 (Unknown, Unknown) lies wholly beyond the end of " + image().string()),
        std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Partition 1"), std::string::npos) << run.err;
}

TEST_F(CutShortImage, RecoveringACutPartitionNamesItAndExitsWith1) {
    const fs::path out = path("out");
    const auto run = runSalvora({"recover", "--image", image().string(), "--partition", "2", "--types", "jpg",
                                 "--keep-going", "--out", out.string()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Partition 2 (HALF, FAT16) ends 9437184 bytes"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Every byte of the medium could be read"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("9437184 bytes (9.0 MB) of the partition lie beyond the end of the medium"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(test::readFile(out / "KV00000.jpg"), test::readFile(test::dataPath(kPhoto)))
        << "what the image still holds is recovered";

    const auto gone = runSalvora(
        {"recover", "--image", image().string(), "--partition", "3", "--out", path("none").string()});
    EXPECT_EQ(gone.status, 1);
    EXPECT_NE(gone.err.find("Partition 3 (Unknown, Unknown) lies wholly beyond the end"), std::string::npos)
        << gone.err;
    EXPECT_FALSE(fs::exists(path("none")));
}

// A 256 MiB image cut to 8 MiB while the scan runs: every read past 8 MiB
// fails, but the damage is one stretch and is told as one, and the exit
// status says that something could not be read.
TEST_F(UnusualInputs, ImageShrunkDuringTheScanGivesOneUnreadableRange) {
    test::ImageBuilder head(1 << 20);
    const auto photo = test::readFile(test::dataPath(kPhoto));
    for (size_t i = 0; i < 12; ++i)
        head.place(65536 * i, photo);
    const fs::path card = path("card.img");
    test::writeFile(card, head.bytes());
    fs::resize_file(card, 256 << 20);
    const fs::path out = path("out"), report = path("found.csv");
    test::ProcessOptions options{path("stdout.txt")};
    options.standardErrorPipe = true;
    options.pipeStartsFull = true;  // the scan waits at its first progress line
    test::SalvoraProcess run({"recover", "--image", card.string(), "--keep-going", "--types", "jpg", "--out",
                              out.string(), "--report", report.string()},
                             options);
    ASSERT_TRUE(run.started());
    // "Recovering ..." is printed once the image is open, with its size taken.
    const auto printed = [&] {
        std::error_code error;
        const auto size = fs::file_size(path("stdout.txt"), error);
        return !error && size > 0;
    };
    for (int i = 0; i < 600 && !printed(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(printed());
    fs::resize_file(card, 8 << 20);
    const std::string err = run.readErrorToEnd();
    EXPECT_EQ(run.wait(), 7) << err;
    EXPECT_EQ(count(err, "cannot read"), 1u) << err;
    EXPECT_NE(err.find("salvora: cannot read 260046848 bytes at offset 8388608; they are taken as zeros"),
              std::string::npos)
        << err;
    const auto rows = lines(report);
    ASSERT_EQ(rows.size(), 1u + 12u + 1u);
    EXPECT_EQ(rows.back(), "\"(unreadable)\",\"\",\"\",8388608,260046848,,,,,");
    const auto summary = test::readFile(path("stdout.txt"));
    const std::string text(summary.begin(), summary.end());
    EXPECT_NE(text.find("Recovery Complete - 12 Files Recovered."), std::string::npos) << text;
    EXPECT_NE(text.find("260046848 bytes (248.0 MB) could not be read"), std::string::npos) << text;
}

TEST_F(UnusualInputs, TypesAreNamedByAnyExtensionTheyGiveInAnyCase) {
    test::ImageBuilder image(256 * 1024);
    image.place(4096, test::readFile(test::dataPath(kPhoto)));
    test::writeFile(path("card.img"), image.bytes());
    // The example of the README.
    const auto readme = runSalvora({"recover", "--image", path("card.img").string(), "--types", "jpg,cr2",
                                    "--report", path("found.csv").string(), "--out", path("a").string()});
    EXPECT_EQ(readme.status, 0) << readme.err;
    EXPECT_TRUE(fs::exists(path("a") / "KV00000.jpg"));
    const auto capitals = runSalvora({"recover", "--image", path("card.img").string(), "--types",
                                      "JPG,DOCX,Mp4,nef", "--out", path("b").string()});
    EXPECT_EQ(capitals.status, 0) << capitals.err;
    EXPECT_EQ(test::readFile(path("b") / "KV00000.jpg"), test::readFile(test::dataPath(kPhoto)));
    const auto unknown = runSalvora(
        {"recover", "--image", path("card.img").string(), "--types", "jpg,tga", "--out", path("c").string()});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("\"tga\""), std::string::npos) << unknown.err;
}

// JSON strings must be UTF-8; a Linux path may hold any byte. Bytes that are
// not UTF-8 are written as \udcXX (as Python's surrogateescape reads them).
TEST_F(UnusualInputs, PartitionsJsonEscapesPathBytesThatAreNotUtf8) {
    const fs::path card = path("card\xff\xc3\xa9\xc3.img");  // 0xFF, "é", a lone lead byte
    test::writeFile(card, std::vector<uint8_t>(1 << 20, 0));
    const auto run = runSalvora({"partitions", "--image", card.string(), "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("card\\udcff\xc3\xa9\\udcc3.img\""), std::string::npos) << run.out;
    for (const char c : run.out)
        EXPECT_NE(static_cast<unsigned char>(c), 0xFF);
}

}  // namespace
}  // namespace salvora

// The run is never lost to the way it was started or ended: a closed
// terminal, a reader of its output that went away, a file-size limit, closed
// standard descriptors.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "recovery_app/core/sha256.h"
#include "salvora_process.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::ProcessOptions;
using test::SalvoraProcess;

std::vector<std::string> lines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string text(const fs::path& path) {
    const auto bytes = test::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// Every file in `out` has its row in the CSV report `report`, with its
// SHA-256, and the report has no other file rows.
void expectReportMatchesFolder(const fs::path& report, const fs::path& out) {
    const auto rows = lines(report);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), "name,family,extension,offset,size,sha256,source_name,joined,partial,runs");
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        ++files;
        const std::string name = entry.path().filename().string();
        const std::string digest = sha256OfFile(entry.path().string());
        const std::string size = std::to_string(fs::file_size(entry.path()));
        bool found = false;
        for (const std::string& row : rows)
            found = found || (row.rfind("\"" + name + "\",", 0) == 0 &&
                              row.find("," + size + "," + digest) != std::string::npos);
        EXPECT_TRUE(found) << name << " is not in the report with its size and SHA-256";
    }
    EXPECT_EQ(rows.size(), files + 1) << "one row per file kept";
}

// A card with `photos` copies of a photo, one every 64 KiB.
fs::path photoCard(const test::TempDir& dir, size_t photos, size_t bytes = 4 << 20) {
    test::ImageBuilder image(bytes);
    const auto photo = test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg"));
    for (size_t i = 0; i < photos; ++i)
        image.place(65536 * i, photo);
    const fs::path card = dir.path() / "card.img";
    test::writeFile(card, image.bytes());
    return card;
}

// A terminal closed under the run (SIGHUP) stops it like Ctrl-C: the photos
// kept so far stay and are in the report, the file being followed is
// removed, and the run does not claim to be complete.
TEST(Signals, HangupStopsCleanlyWithEveryKeptFileInTheReport) {
    test::TempDir dir;
    const fs::path card = photoCard(dir, 12);
    // An ID3 tag that says it runs for 256 MiB of padding: the file is still
    // being followed when the signal comes.
    std::vector<uint8_t> cardBytes = test::readFile(card);
    const std::vector<uint8_t> id3{'I', 'D', '3', 3, 0, 0, 0x01, 0x00, 0x00, 0x00};
    std::copy(id3.begin(), id3.end(), cardBytes.begin() + 65536 * 12);
    test::writeFile(card, cardBytes);
    fs::resize_file(card, 8ull << 30);

    const fs::path out = dir.path() / "out", report = dir.path() / "found.csv";
    SalvoraProcess run({"recover", "--image", card.string(), "--out", out.string(), "--types", "jpg,mp3",
                        "--report", report.string()},
                       ProcessOptions{dir.path() / "stdout.txt"});
    ASSERT_TRUE(run.started());
    for (int i = 0; i < 400 && !fs::exists(out / "KV00012.mp3"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(out / "KV00012.mp3")) << "the followed file was never started";
    run.signal(SIGHUP);
    EXPECT_EQ(run.wait(), 130);
    const std::string summary = text(dir.path() / "stdout.txt");
    EXPECT_NE(summary.find("Recovery interrupted."), std::string::npos) << summary;
    EXPECT_EQ(summary.find("Recovery Complete"), std::string::npos) << summary;
    EXPECT_NE(summary.find("12 files were recovered"), std::string::npos) << summary;
    EXPECT_FALSE(fs::exists(out / "KV00012.mp3")) << "the file in progress is removed";
    expectReportMatchesFolder(report, out);
}

// "salvora ... 2>&1 | head -1": the reader of the progress lines goes away
// while the run goes on. The run finishes and keeps every file.
TEST(Signals, ClosedProgressPipeDoesNotEndTheRun) {
    test::TempDir dir;
    const fs::path card = photoCard(dir, 12);
    const fs::path out = dir.path() / "out", report = dir.path() / "found.csv";
    ProcessOptions options{dir.path() / "stdout.txt"};
    options.standardErrorPipe = true;
    options.pipeStartsFull = true;  // its first progress line waits for the pipe
    SalvoraProcess run({"recover", "--image", card.string(), "--out", out.string(), "--types", "jpg",
                        "--report", report.string()},
                       options);
    ASSERT_TRUE(run.started());
    run.closeStandardError();
    EXPECT_EQ(run.wait(), 0);
    const std::string summary = text(dir.path() / "stdout.txt");
    EXPECT_NE(summary.find("Recovery Complete - 12 Files Recovered."), std::string::npos) << summary;
    expectReportMatchesFolder(report, out);
    EXPECT_EQ(test::readFile(out / "KV00011.jpg"),
              test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg")));
}

// A WAV file whose header promises `dataBytes` of 8-bit mono samples, laid
// out as the RIFF/WAVE format gives it; the samples stay below 0x80 so that
// no other format's signature appears in them.
std::vector<uint8_t> wave(uint32_t dataBytes) {
    std::vector<uint8_t> bytes;
    const auto text = [&](const char* four) { bytes.insert(bytes.end(), four, four + 4); };
    const auto le = [&](uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    text("RIFF");
    le(36 + dataBytes, 4);
    text("WAVE");
    text("fmt ");
    le(16, 4);
    le(1, 2);     // PCM
    le(1, 2);     // one channel
    le(8000, 4);  // samples per second
    le(8000, 4);  // bytes per second
    le(1, 2);     // block align
    le(8, 2);     // bits per sample
    text("data");
    le(dataBytes, 4);
    for (uint32_t i = 0; i < dataBytes; ++i)
        bytes.push_back(static_cast<uint8_t>((i * 7) & 0x7F));
    return bytes;
}

// Under "ulimit -f 256" a file that outgrows the limit fails (its write gets
// EFBIG) and the scan goes on to the photos after it and its summary.
TEST(Signals, FileSizeLimitFailsOnlyTheFileThatOutgrowsIt) {
    test::TempDir dir;
    test::ImageBuilder image(4 << 20);
    const auto photo = test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg"));
    for (size_t i = 0; i < 10; ++i)
        image.place(65536 * i, photo);
    image.place(65536 * 10, wave(400 * 1024));
    image.place(65536 * 20, photo);
    const fs::path card = dir.path() / "card.img";
    test::writeFile(card, image.bytes());
    const fs::path out = dir.path() / "out";
    ProcessOptions options{dir.path() / "stdout.txt"};
    options.fileSizeLimit = 256 * 1024;
    SalvoraProcess run({"recover", "--image", card.string(), "--out", out.string(), "--types", "jpg,riff"},
                       options);
    ASSERT_TRUE(run.started());
    EXPECT_EQ(run.wait(), 0);
    const std::string summary = text(dir.path() / "stdout.txt");
    EXPECT_NE(summary.find("Recovery Complete - 11 Files Recovered."), std::string::npos) << summary;
    EXPECT_EQ(test::readFile(out / "KV00010.jpg"), photo) << "the photo after the large file";
    for (const auto& entry : fs::directory_iterator(out))
        EXPECT_LE(fs::file_size(entry.path()), 256u * 1024) << entry.path();
}

// Started from cron with standard output and error closed, the report must
// not become descriptor 1 or 2 and receive the progress lines and summary.
TEST(Signals, ClosedStandardDescriptorsKeepProgressOutOfTheReport) {
    for (const bool outputToo : {false, true}) {
        test::TempDir dir;
        const fs::path card = photoCard(dir, 3, 1 << 20);
        const fs::path out = dir.path() / "out", report = dir.path() / "found.csv";
        ProcessOptions options;
        options.standardErrorClosed = true;
        options.standardOutputClosed = outputToo;
        SalvoraProcess run({"recover", "--image", card.string(), "--out", out.string(), "--types", "jpg",
                            "--report", report.string()},
                           options);
        ASSERT_TRUE(run.started());
        EXPECT_EQ(run.wait(), 0);
        const auto rows = lines(report);
        ASSERT_EQ(rows.size(), 4u) << text(report);
        for (size_t i = 1; i < rows.size(); ++i)
            EXPECT_EQ(rows[i].rfind("\"KV0000", 0), 0u) << rows[i];
        expectReportMatchesFolder(report, out);
    }
}

}  // namespace
}  // namespace salvora

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "recovery_app/core/sha256.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

int run(const std::string& arguments) {
    const int raw = std::system((std::string(SALVORA_EXE) + " " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::vector<std::string> lines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

struct Placed {
    std::string data;  // file under tests/data
    size_t offset;
};

// The report lists exactly the saved files, with the offsets at which the
// test placed them and the SHA-256 of the originals.
TEST(RecoverReport, RowsMatchTheGroundTruthOfTheImage) {
    const std::vector<Placed> placed{{"jpeg/camera_640x480.jpg", 8192},
                                     {"pdf/libreoffice_note.pdf", 81920},
                                     {"jpeg/jfif_plain_200x150.jpg", 200704},
                                     {"bmp/circle_v5.bmp", 262144}};
    test::ImageBuilder image(1 << 20);
    for (const Placed& file : placed)
        image.place(file.offset, test::readFile(test::dataPath(file.data)));
    test::TempDir dir;
    test::writeFile(dir.path() / "card.img", image.bytes());
    for (const char* name : {"found.csv", "found.jsonl"}) {
        const fs::path report = dir.path() / name;
        ASSERT_EQ(run("recover --image " + (dir.path() / "card.img").string() + " --out " +
                      (dir.path() / "out").string() + " --report " + report.string() + " --quiet"),
                  0);
        const auto rows = lines(report);
        const bool csv = std::string(name).find(".csv") != std::string::npos;
        ASSERT_EQ(rows.size(), placed.size() + (csv ? 1 : 0)) << name;
        for (size_t i = 0; i < placed.size(); ++i) {
            const std::string& row = rows[i + (csv ? 1 : 0)];
            const std::string digest = sha256OfFile(test::dataPath(placed[i].data));
            const std::string size = std::to_string(fs::file_size(test::dataPath(placed[i].data)));
            const std::string offset = std::to_string(placed[i].offset);
            EXPECT_NE(row.find(digest), std::string::npos) << row;
            if (csv) {
                EXPECT_NE(row.find("," + offset + "," + size + ","), std::string::npos) << row;
            } else {
                EXPECT_NE(row.find("\"offset\":" + offset + ",\"size\":" + size), std::string::npos) << row;
            }
        }
    }
}

// Ctrl-C stops the scan: the photos saved so far stay, the file being followed
// is removed, and the exit status is 130.
TEST(RecoverInterrupt, InterruptKeepsSavedFilesAndRemovesTheOneInProgress) {
    test::TempDir dir;
    const fs::path card = dir.path() / "card.img";
    test::ImageBuilder head(2 << 20);
    const auto photo = test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg"));
    for (size_t i = 0; i < 12; ++i)
        head.place(65536 * i, photo);
    // An ID3 tag that says it runs for 256 MiB of padding: the file is still
    // being followed when the interrupt comes.
    std::vector<uint8_t> id3{'I', 'D', '3', 3, 0, 0, 0x01, 0x00, 0x00, 0x00};
    head.place(65536 * 12, id3);
    test::writeFile(card, head.bytes());
    fs::resize_file(card, 8ull << 30);

    const fs::path out = dir.path() / "out";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        execl(SALVORA_EXE, SALVORA_EXE, "recover", "--image", card.c_str(), "--out", out.c_str(), "--types",
              "jpg,mp3", "--quiet", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until the twelve photos are saved, then interrupt.
    for (int i = 0; i < 200; ++i) {
        if (fs::exists(out / "KV00012.mp3"))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    test::TempDir listing;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 12u);
    EXPECT_EQ(names.back(), "KV00011.jpg");
    for (const std::string& name : names)
        EXPECT_EQ(test::readFile(out / name), photo) << name;
}

TEST(RecoverKeepGoing, GoodImageReportsNothingUnreadable) {
    test::TempDir dir;
    test::ImageBuilder image(256 * 1024);
    image.place(4096, test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg")));
    test::writeFile(dir.path() / "card.img", image.bytes());
    const std::string command = std::string(SALVORA_EXE) + " recover --keep-going --quiet --image " +
                                (dir.path() / "card.img").string() + " --out " +
                                (dir.path() / "out").string() + " > " + (dir.path() / "summary.txt").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto summary = lines(dir.path() / "summary.txt");
    ASSERT_FALSE(summary.empty());
    EXPECT_EQ(summary.back(), "Every byte of the medium could be read.");
}

}  // namespace
}  // namespace salvora

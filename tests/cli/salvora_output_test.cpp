// The destination as a user finds it: names planted in it, an earlier
// recovery in it, another salvora writing into it at the same time; and how a
// recovery reports its progress and an interrupt in its first pass.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "run_salvora.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kPhotos{"jpeg/camera_640x480.jpg", "jpeg/camera_320x240.jpg",
                                       "jpeg/jfif_exif_160x120.jpg", "jpeg/jfif_plain_200x150.jpg",
                                       "jpeg/progressive_96x64.jpg"};

// Old text: lower-case letters, as a deleted text file leaves them.
std::vector<uint8_t> oldText(size_t length, uint32_t seed) {
    std::vector<uint8_t> text(length);
    for (uint8_t& c : text) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<uint8_t>('a' + (seed >> 16) % 26);
    }
    return text;
}

// A card image: the photos (a set of them `rounds` times) on 64 KiB blocks,
// with old text after each of them, zeros after the last.
std::vector<uint8_t> cardWith(const std::vector<std::string>& photos, int rounds, size_t size,
                              uint32_t seed) {
    test::ImageBuilder image(size);
    size_t at = 65536;
    for (int round = 0; round < rounds; ++round) {
        for (const std::string& photo : photos) {
            const auto bytes = test::readFile(test::dataPath(photo));
            image.place(at, bytes);
            const size_t end = at + (bytes.size() + 65535) / 65536 * 65536;
            image.place(at + bytes.size(), oldText(end + 65536 - at - bytes.size(), seed++));
            at = end + 65536;
        }
    }
    return image.bytes();
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string sha256sum(const fs::path& file) {
    const std::string command = "sha256sum " + test::shellQuoted(file.string());
    std::FILE* pipe = popen(command.c_str(), "r");
    char digest[65] = {};
    if (!pipe || std::fread(digest, 1, 64, pipe) != 64)
        digest[0] = 0;
    if (pipe)
        pclose(pipe);
    return digest;
}

std::vector<std::string> csvFields(const std::string& row) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (char c : row) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

class RecoverInto : public ::testing::Test {
  protected:
    fs::path path(const std::string& name) const { return dir.path() / name; }
    test::TempDir dir;
};

TEST_F(RecoverInto, APlantedLinkAndAPlantedFileNamedLikeTheNextOutputsAreLeftAlone) {
    test::writeFile(path("card.img"), cardWith(kPhotos, 1, 2 << 20, 7));
    fs::create_directory(path("out"));
    test::writeFile(path("precious.txt"), std::vector<uint8_t>(100, 'p'));
    fs::create_symlink(path("precious.txt"), path("out") / "KV00000.jpg");
    test::writeFile(path("out") / "KV00001.jpg", {'m', 'i', 'n', 'e'});
    const test::Run run =
        test::runSalvora({"recover", "--image", path("card.img").string(), "--out", path("out").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::readFile(path("precious.txt")), std::vector<uint8_t>(100, 'p'));
    EXPECT_TRUE(fs::is_symlink(path("out") / "KV00000.jpg"));
    EXPECT_EQ(test::readFile(path("out") / "KV00001.jpg"), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
    for (size_t i = 0; i < kPhotos.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "KV%05zu.jpg", i + 2);
        EXPECT_EQ(test::readFile(path("out") / name), test::readFile(test::dataPath(kPhotos[i]))) << name;
    }
    EXPECT_EQ(namesIn(path("out")).size(), kPhotos.size() + 2);
}

// Regression: a second recovery into the same folder replaced the first one's files.
TEST_F(RecoverInto, ASecondRecoveryKeepsTheFirstOnesFiles) {
    test::writeFile(path("card.img"), cardWith(kPhotos, 1, 2 << 20, 11));
    const std::vector<std::string> arguments{
        "recover", "--image", path("card.img").string(), "--out", path("out").string(), "--quiet"};
    ASSERT_EQ(test::runSalvora(arguments).status, 0);
    std::map<std::string, std::vector<uint8_t>> first;
    for (const std::string& name : namesIn(path("out")))
        first[name] = test::readFile(path("out") / name);
    ASSERT_EQ(first.size(), kPhotos.size());
    ASSERT_EQ(test::runSalvora(arguments).status, 0);
    const std::vector<std::string> names = namesIn(path("out"));
    ASSERT_EQ(names.size(), 2 * kPhotos.size());
    for (const auto& [name, bytes] : first)
        EXPECT_EQ(test::readFile(path("out") / name), bytes) << name;
    for (size_t i = 0; i < kPhotos.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "KV%05zu.jpg", i + kPhotos.size());
        EXPECT_EQ(test::readFile(path("out") / name), test::readFile(test::dataPath(kPhotos[i]))) << name;
    }
}

// Regression: two recoveries into one folder overwrote each other's files, so
// a report row no longer matched its file.
TEST_F(RecoverInto, TwoRecoveriesAtOnceIntoOneFolderEachReportEveryFileAsItIs) {
    test::writeFile(path("a.img"), cardWith({kPhotos[0], kPhotos[2], kPhotos[4]}, 8, 8 << 20, 100));
    test::writeFile(path("b.img"), cardWith({kPhotos[1], kPhotos[3]}, 12, 8 << 20, 200));
    std::vector<pid_t> children;
    for (const char* card : {"a", "b"}) {
        const std::string image = path(std::string(card) + ".img").string();
        const std::string report = path(std::string(card) + ".csv").string();
        const std::string out = path("out").string();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            execl(SALVORA_EXE, SALVORA_EXE, "recover", "--image", image.c_str(), "--out", out.c_str(),
                  "--types", "jpg", "--report", report.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    std::map<std::string, std::vector<uint8_t>> photos;
    for (const std::string& photo : kPhotos)
        photos[sha256sum(test::dataPath(photo))] = test::readFile(test::dataPath(photo));
    size_t rows = 0;
    for (const char* report : {"a.csv", "b.csv"}) {
        std::ifstream in(path(report));
        std::string row;
        std::getline(in, row);  // heading
        while (std::getline(in, row)) {
            const std::vector<std::string> fields = csvFields(row);
            ASSERT_EQ(fields.size(), 10u) << row;
            EXPECT_EQ(fields[8], "no") << "a whole file is not partial: " << row;
            const fs::path file = path("out") / fields[0];
            ASSERT_TRUE(fs::is_regular_file(file)) << row;
            EXPECT_EQ(sha256sum(file), fields[5]) << row;
            EXPECT_EQ(std::to_string(fs::file_size(file)), fields[4]) << row;
            ASSERT_EQ(photos.count(fields[5]), 1u) << "not one of the photos: " << row;
            EXPECT_EQ(test::readFile(file), photos[fields[5]]) << row;
            ++rows;
        }
    }
    EXPECT_EQ(rows, 3u * 8 + 2u * 12);
    EXPECT_EQ(namesIn(path("out")).size(), rows) << "every file is in one report";
}

// Regression: with fewer than ten files the percentage ran to 40% in the first
// pass and started again at 15% in the second; and one file was "1 files".
TEST_F(RecoverInto, ProgressIsOnePercentageOverBothPassesThatNeverGoesBack) {
    test::writeFile(path("card.img"), cardWith({kPhotos[0]}, 1, 24 << 20, 5));
    const test::Run run =
        test::runSalvora({"recover", "--image", path("card.img").string(), "--out", path("out").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.err);
    std::vector<int> percents;
    bool firstPassShown = false;
    for (std::string line; std::getline(lines, line);) {
        const size_t sign = line.find('%');
        ASSERT_NE(sign, std::string::npos) << line;
        percents.push_back(std::stoi(line.substr(0, sign)));
        firstPassShown = firstPassShown || line.find("finding the block size") != std::string::npos;
        EXPECT_EQ(line.find("1 files"), std::string::npos) << line;
    }
    ASSERT_GE(percents.size(), 5u) << run.err;
    EXPECT_TRUE(firstPassShown) << run.err;
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << run.err;
    EXPECT_NE(run.err.find("1 file recovered"), std::string::npos) << run.err;
}

uint64_t bytesRead(pid_t process) {
    std::ifstream io("/proc/" + std::to_string(process) + "/io");
    for (std::string key; io >> key;) {
        uint64_t value = 0;
        io >> value;
        if (key == "rchar:")
            return value;
    }
    return 0;
}

// Regression: Ctrl-C in the first pass (which reads the whole medium when it
// holds fewer than ten files) kept nothing although files had been found.
TEST_F(RecoverInto, CtrlCInTheFirstPassStillRecoversThePartItRead) {
    test::writeFile(path("card.img"), cardWith({kPhotos[0], kPhotos[1], kPhotos[3]}, 1, 2 << 20, 9));
    fs::resize_file(path("card.img"), 16ull << 30);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::freopen(path("stdout.txt").c_str(), "w", stdout);
        std::freopen(path("stderr.txt").c_str(), "w", stderr);
        execl(SALVORA_EXE, SALVORA_EXE, "recover", "--image", path("card.img").c_str(), "--out",
              path("out").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Interrupt once the first pass has read well past the photos.
    for (int i = 0; i < 400 && bytesRead(child) < (64u << 20); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const auto out = test::readFile(path("stdout.txt"));
    const auto err = test::readFile(path("stderr.txt"));
    const std::string said(out.begin(), out.end()), shown(err.begin(), err.end());
    EXPECT_NE(said.find("Recovery interrupted."), std::string::npos) << said;
    EXPECT_NE(shown.find("press Ctrl-C again"), std::string::npos) << shown;
    ASSERT_EQ(namesIn(path("out")), (std::vector<std::string>{"KV00000.jpg", "KV00001.jpg", "KV00002.jpg"}));
    EXPECT_EQ(test::readFile(path("out") / "KV00000.jpg"), test::readFile(test::dataPath(kPhotos[0])));
    EXPECT_EQ(test::readFile(path("out") / "KV00001.jpg"), test::readFile(test::dataPath(kPhotos[1])));
    EXPECT_EQ(test::readFile(path("out") / "KV00002.jpg"), test::readFile(test::dataPath(kPhotos[3])));
}

}  // namespace
}  // namespace salvora

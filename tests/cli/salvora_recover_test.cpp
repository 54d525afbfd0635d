#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs salvora with the arguments; captures its output streams and exit status.
Outcome salvora(const std::string& arguments, const test::TempDir& dir) {
    const fs::path out = dir.path() / "stdout.txt";
    const fs::path err = dir.path() / "stderr.txt";
    const std::string command =
        quote(SALVORA_EXE) + " " + arguments + " >" + quote(out.string()) + " 2>" + quote(err.string());
    Outcome run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const auto o = test::readFile(out), e = test::readFile(err);
    run.out.assign(o.begin(), o.end());
    run.err.assign(e.begin(), e.end());
    fs::remove(out);
    fs::remove(err);
    return run;
}

bool haveTool(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

class RecoverImageCommand : public ::testing::Test {
  protected:
    test::TempDir dir;
    fs::path path(const std::string& name) const { return dir.path() / name; }
    void ImageWithOnePhoto() {
        test::ImageBuilder image(128 * 1024);
        image.place(4096, test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg")));
        test::writeFile(path("one.img"), image.bytes());
    }
};

// A camera's FAT32 card whose photographs were deleted: the photographs come
// back byte-identical, in the order they were written, and the image is unchanged.
TEST_F(RecoverImageCommand, DeletedPhotosOnAFatCardComeBackAndTheCardIsUntouched) {
    if (!haveTool("mkfs.vfat") || !haveTool("mcopy"))
        GTEST_SKIP() << "dosfstools and mtools are needed";
    const fs::path card = path("card.img");
    const std::vector<std::string> photos{"camera_640x480.jpg", "camera_320x240.jpg", "jfif_exif_160x120.jpg",
                                          "progressive_96x64.jpg", "jfif_plain_200x150.jpg"};
    std::string script = "truncate -s 48M " + quote(card.string()) + " && mkfs.vfat -F 32 -n TESTCARD " +
                         quote(card.string()) + " >/dev/null && export MTOOLS_SKIP_CHECK=1 && mmd -i " +
                         quote(card.string()) + " ::/DCIM ::/DCIM/100KORVL";
    int n = 0;
    for (const std::string& photo : photos) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", ++n);
        script += " && mcopy -i " + quote(card.string()) + " " + quote(test::dataPath("jpeg/" + photo)) +
                  " ::/DCIM/100KORVL/" + name;
    }
    script += " && mdel -i " + quote(card.string()) + " '::/DCIM/100KORVL/*'";
    ASSERT_EQ(std::system(script.c_str()), 0);
    const auto before = test::readFile(card);
    chmod(card.c_str(), 0444);

    const Outcome run =
        salvora("recover --image " + quote(card.string()) + " --out " + quote(path("out").string()), dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Recovery Complete - 5 Files Recovered."), std::string::npos) << run.out;
    for (size_t i = 0; i < photos.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "KV%05zu.jpg", i);
        EXPECT_EQ(test::readFile(path("out") / name), test::readFile(test::dataPath("jpeg/" + photos[i])))
            << name;
    }
    EXPECT_EQ(test::readFile(card), before);
}

// The source is only ever read: an image holding files of every family is
// bit-identical, with the same modification time, after a scan for all of them.
TEST_F(RecoverImageCommand, ImageIsUnchangedAfterAScanForEveryFamily) {
    test::ImageBuilder image(8 << 20);
    size_t offset = 65536;
    for (const auto& entry : fs::recursive_directory_iterator(test::dataPath(""))) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md")
            continue;
        const auto bytes = test::readFile(entry.path());
        if (offset + bytes.size() > image.bytes().size() || bytes.size() > 256 * 1024)
            continue;
        image.place(offset, bytes);
        offset += (bytes.size() + 65535) / 65536 * 65536;
    }
    const fs::path card = path("card.img");
    test::writeFile(card, image.bytes());
    const auto modified = fs::last_write_time(card);
    const Outcome run = salvora("recover --types all --quiet --image " + quote(card.string()) + " --out " +
                                    quote(path("out").string()),
                                dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_GT(std::distance(fs::directory_iterator(path("out")), fs::directory_iterator()), 40);
    EXPECT_EQ(test::readFile(card), image.bytes());
    EXPECT_EQ(fs::last_write_time(card), modified);
}

TEST_F(RecoverImageCommand, BadInputGetsOneClearMessageAndWritesNothing) {
    test::writeFile(path("empty.img"), {});
    fs::create_directory(path("folder.img"));
    test::writeFile(path("good.img"), std::vector<uint8_t>(4096, 0));
    test::writeFile(path("blocker"), {1});

    struct Case {
        std::string arguments;
        int status;
        std::string says;
    };
    const std::vector<Case> cases{
        {"recover --image " + quote(path("missing.img").string()), 3, "missing.img"},
        {"recover --image " + quote(path("empty.img").string()), 3, "empty"},
        {"recover --image " + quote(path("folder.img").string()), 3, "folder"},
        {"recover --image " + quote(path("good.img").string()) + " --out " +
             quote((path("blocker") / "sub").string()),
         4, "destination"},
        {"recover --image " + quote(path("good.img").string()) + " --types jpg,xyz", 2, "xyz"},
        {"recover", 2, "--image"},
        {"recover --image", 2, "needs a value"},
        {"recover --bogus", 2, "--bogus"},
        {"frobnicate", 2, "unknown command"},
    };
    for (const Case& c : cases) {
        const bool namesOut = c.arguments.find("--out") != std::string::npos;
        const Outcome run =
            salvora(c.arguments + (namesOut ? "" : " --out " + quote(path("never").string())), dir);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.arguments << "\n" << run.err;
        EXPECT_FALSE(fs::exists(path("never"))) << c.arguments;
    }
}

TEST_F(RecoverImageCommand, HelpExplainsTheCommandAndTheTypes) {
    const Outcome top = salvora("--help", dir);
    EXPECT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("recover"), std::string::npos);
    const Outcome recover = salvora("recover --help", dir);
    EXPECT_EQ(recover.status, 0);
    for (const char* word : {"--image", "--out", "--types", "Exit status", "mov"}) {
        EXPECT_NE(recover.out.find(word), std::string::npos) << word;
    }
    // Every family's type word, and the other names of the newer ones.
    for (const char* word : {"png", "gif", "webp", "heic", "avif", "cr3", "mkv", "webm", "flac", "ogg",
                             "opus", "m4a", "sqlite", "7z", "rar"}) {
        EXPECT_NE(recover.out.find(word), std::string::npos) << word;
    }
}

TEST_F(RecoverImageCommand, DefaultDestinationIsSavedFilesInTheCurrentFolder) {
    ImageWithOnePhoto();
    const std::string command = "cd " + quote(dir.path().string()) + " && " + quote(SALVORA_EXE) +
                                " recover --image one.img --quiet >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(fs::exists(path("Saved Files") / "KV00000.jpg"));
}

}  // namespace
}  // namespace salvora

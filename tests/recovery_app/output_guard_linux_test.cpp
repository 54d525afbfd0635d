// Which paths the guard takes for the medium being recovered: by identity,
// through links, and through the loop devices attached to an image.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "media/memory_reader.h"
#include "recovery_app/core/output_guard.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<MediaReader> mediumAt(const fs::path& path) {
    auto reader = std::make_unique<MemoryReader>(std::vector<uint8_t>(512, 0));
    reader->devicePath = path.string();
    return reader;
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    test::writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

TEST(OutputGuard, TheImageIsKnownThroughLinksButNotByItsName) {
    test::TempDir dir;
    const fs::path image = dir.path() / "card.img";
    test::writeFile(image, std::vector<uint8_t>(4096, 0));
    fs::create_symlink(image, dir.path() / "symbolic.csv");
    fs::create_hard_link(image, dir.path() / "hard.csv");
    test::writeFile(dir.path() / "copy.img", std::vector<uint8_t>(4096, 0));
    const auto medium = mediumAt(image);
    for (const char* name : {"card.img", "symbolic.csv", "hard.csv"}) {
        const PathFacts facts = pathFacts((dir.path() / name).string(), *medium);
        EXPECT_TRUE(facts.isSource) << name;
        EXPECT_FALSE(facts.blockDevice) << name;
        EXPECT_EQ(judgeReport(name, *medium, facts).refusal, OutputRefusal::kIsSource) << name;
    }
    // Reached by another spelling of its path.
    const fs::path roundabout = dir.path() / "." / ".." / dir.path().filename() / "card.img";
    EXPECT_TRUE(pathFacts(roundabout.string(), *medium).isSource);
    const PathFacts copy = pathFacts((dir.path() / "copy.img").string(), *medium);
    EXPECT_FALSE(copy.isSource) << "same bytes, same size, another file";
    EXPECT_EQ(judgeReport("copy.img", *medium, copy).refusal, OutputRefusal::kNone);
    EXPECT_FALSE(pathFacts((dir.path() / "new.csv").string(), *medium).isSource);
}

TEST(OutputGuard, LoopDevicesAreFoundByTheIdentityOfTheirBackingFile) {
    test::TempDir dir;
    const fs::path image = dir.path() / "card.img";
    test::writeFile(image, std::vector<uint8_t>(4096, 0));
    fs::create_symlink(image, dir.path() / "link.img");
    test::writeFile(dir.path() / "other.img", std::vector<uint8_t>(4096, 0));
    const fs::path sys = dir.path() / "sys";
    // loop3 names the image by a link, loop5 by its path, loop7 another file,
    // loop9 a file deleted since, sda is no loop device.
    writeText(sys / "block/loop3/loop/backing_file", (dir.path() / "link.img").string() + "\n");
    writeText(sys / "block/loop3/dev", "7:3\n");
    writeText(sys / "block/loop5/loop/backing_file", image.string() + "\n");
    writeText(sys / "block/loop5/dev", "7:5\n");
    writeText(sys / "block/loop7/loop/backing_file", (dir.path() / "other.img").string() + "\n");
    writeText(sys / "block/loop7/dev", "7:7\n");
    writeText(sys / "block/loop9/loop/backing_file", image.string() + " (deleted)\n");
    writeText(sys / "block/loop9/dev", "7:9\n");
    writeText(sys / "block/sda/dev", "8:0\n");
    EXPECT_EQ(loopDevicesBackedBy(sys.string(), image.string()), (std::set<std::string>{"7:3", "7:5"}));
    EXPECT_EQ(loopDevicesBackedBy(sys.string(), (dir.path() / "link.img").string()),
              (std::set<std::string>{"7:3", "7:5"}));
    EXPECT_TRUE(loopDevicesBackedBy(sys.string(), (dir.path() / "missing.img").string()).empty());

    // From a device number to the file: a loop device, a partition of one, another disk.
    fs::create_directories(sys / "dev/block");
    fs::create_directories(sys / "block/loop5/loop5p1");
    test::writeFile(sys / "block/loop5/loop5p1/partition", {'1'});
    fs::create_directory_symlink(sys / "block/loop5", sys / "dev/block/7:5");
    fs::create_directory_symlink(sys / "block/loop5/loop5p1", sys / "dev/block/259:0");
    fs::create_directory_symlink(sys / "block/sda", sys / "dev/block/8:0");
    EXPECT_EQ(loopBackingFile(sys.string(), "7:5"), image.string());
    EXPECT_EQ(loopBackingFile(sys.string(), "259:0"), image.string());
    EXPECT_EQ(loopBackingFile(sys.string(), "8:0"), "");
    EXPECT_EQ(loopBackingFile(sys.string(), "1:1"), "");
}

}  // namespace
}  // namespace salvora

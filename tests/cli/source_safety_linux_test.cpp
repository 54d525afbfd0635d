// The medium being recovered is never written, whatever the options name:
// a report or destination that is the image or the device itself (by any
// name), any block device, or a folder inside a mount of the image.
#include <gtest/gtest.h>
#include <unistd.h>

#include "run_salvora.h"
#include "support/loop_device.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::runSalvora;

// Mounts `device` on `folder` (made here) and unmounts at the end.
class Mount {
  public:
    Mount(const std::string& device, const fs::path& folder) : folder_(folder) {
        fs::create_directories(folder);
        mounted_ = test::runTool("mount -o noatime " + test::shellQuoted(device) + " " +
                                 test::shellQuoted(folder.string()));
    }
    ~Mount() {
        if (mounted_)
            test::runTool("umount " + test::shellQuoted(folder_.string()));
    }
    bool mounted() const { return mounted_; }

  private:
    fs::path folder_;
    bool mounted_ = false;
};

class SourceSafety : public ::testing::Test {
  protected:
    fs::path path(const std::string& name) const { return dir.path() / name; }

    // A small card image with one photo.
    fs::path photoCard(const std::string& name) {
        test::ImageBuilder image(1 << 20);
        image.place(65536, test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg")));
        test::writeFile(path(name), image.bytes());
        return path(name);
    }

    // Runs salvora and expects the refusal: the status, the words, and no
    // destination folder made.
    void expectRefused(const std::vector<std::string>& arguments, int status, const std::string& says,
                       const fs::path& destination) {
        const auto run = runSalvora(arguments);
        EXPECT_EQ(run.status, status) << run.err;
        EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(destination)) << "nothing is made before the refusal";
    }

    test::TempDir dir;
};

TEST_F(SourceSafety, ReportOrDestinationThatIsTheImageIsRefusedAndTheImageStaysBitIdentical) {
    const fs::path card = photoCard("card.img");
    const auto before = test::readFile(card);
    fs::create_symlink(card, path("link.csv"));
    fs::create_hard_link(card, path("hard.csv"));
    const std::string image = card.string(), never = path("never").string();
    for (const std::string& report : {image, path("link.csv").string(), path("hard.csv").string(),
                                      (dir.path() / "." / "card.img").string()}) {
        expectRefused({"recover", "--image", image, "--out", never, "--report", report}, 2,
                      "is the image " + image + " being recovered", never);
        EXPECT_EQ(test::readFile(card), before) << report;
    }
    expectRefused({"recover", "--image", image, "--out", image}, 2,
                  "is the image " + image + " being recovered", never);
    expectRefused({"recover", "--image", path("link.csv").string(), "--out", never, "--report", image}, 2,
                  "being recovered", never);
    EXPECT_EQ(test::readFile(card), before);
    EXPECT_FALSE(fs::is_symlink(path("card.img")));
}

TEST_F(SourceSafety, NoBlockDeviceIsEverWritten) {
    const fs::path card = photoCard("card.img");
    const fs::path other = photoCard("other.img");
    const auto cardBytes = test::readFile(card), otherBytes = test::readFile(other);
    // Writable loop devices: a report that got through would change the files.
    test::LoopDevice source(card.string(), false), scratch(other.string(), false);
    if (source.path().empty() || scratch.path().empty())
        GTEST_SKIP() << "no loop device available (needs root)";
    const std::string never = path("never").string();
    expectRefused({"recover", "--device", source.path(), "--out", never, "--report", source.path()}, 2,
                  "is the device " + source.path() + " being recovered", never);
    expectRefused({"recover", "--device", source.path(), "--out", source.path()}, 2, "being recovered",
                  never);
    // The loop device's bytes are its backing file's.
    expectRefused({"recover", "--device", source.path(), "--out", never, "--report", card.string()}, 2,
                  "is the device " + source.path() + " being recovered", never);
    expectRefused({"recover", "--image", card.string(), "--out", never, "--report", scratch.path()}, 2,
                  "is a disk or partition (a block device)", never);
    expectRefused({"recover", "--image", card.string(), "--out", scratch.path()}, 2,
                  "is a disk or partition (a block device)", never);
    EXPECT_EQ(test::readFile(card), cardBytes);
    EXPECT_EQ(test::readFile(other), otherBytes);
}

// With the image mounted through a loop device, a folder in the mount lies
// on the image: writing there would change it.
TEST_F(SourceSafety, DestinationOrReportInsideAMountOfTheImageIsRefused) {
    SKIP_WITHOUT_TOOLS("mkfs.ext4", "mount", "umount");
    const fs::path card = path("card.img");
    ASSERT_TRUE(test::makeBlankImage(card, 16 << 20));
    // Without lazy initialisation nothing writes to the volume after mounting.
    ASSERT_TRUE(test::runTool("mkfs.ext4 -q -E lazy_itable_init=0,lazy_journal_init=0 " +
                              test::shellQuoted(card.string())));
    test::LoopDevice loop(card.string(), false);
    if (loop.path().empty())
        GTEST_SKIP() << "no loop device available (needs root)";
    const fs::path mount = path("mnt");
    Mount mounted(loop.path(), mount);
    if (!mounted.mounted())
        GTEST_SKIP() << "cannot mount an ext4 loop device here";
    ::sync();
    const auto before = test::readFile(card);
    fs::create_symlink(mount, path("shortcut"));
    fs::create_symlink(card, path("card-link.img"));

    const std::string sameDisk = "is identical to the recovery disk";
    expectRefused({"recover", "--image", card.string(), "--out", (mount / "rescued").string()}, 4, sameDisk,
                  mount / "rescued");
    expectRefused({"recover", "--image", path("card-link.img").string(), "--out",
                   (path("shortcut") / "deeper" / "rescued").string()},
                  4, sameDisk, mount / "deeper");
    expectRefused({"recover", "--image", card.string(), "--out", path("elsewhere").string(), "--report",
                   (mount / "found.csv").string()},
                  4, "would be written on the disk being recovered", path("elsewhere"));
    EXPECT_FALSE(fs::exists(mount / "found.csv"));
    // Recovering through a second loop device over the same image.
    test::LoopDevice second(card.string());
    ASSERT_FALSE(second.path().empty());
    expectRefused({"recover", "--device", second.path(), "--out", (mount / "rescued").string()}, 4, sameDisk,
                  mount / "rescued");
    ::sync();
    EXPECT_EQ(test::readFile(card), before);
}

}  // namespace
}  // namespace salvora

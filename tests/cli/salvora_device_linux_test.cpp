// Recovering from a real block device: a loop device over a card image.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "support/loop_device.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

TEST(RecoverDevice, PhotosComeBackFromABlockDeviceThatIsLeftUnchanged) {
    test::TempDir dir;
    const std::vector<std::string> photos{"jpeg/camera_320x240.jpg", "jpeg/jfif_plain_200x150.jpg"};
    test::ImageBuilder image(2 << 20);
    image.place(65536, test::readFile(test::dataPath(photos[0])));
    image.place(4 * 65536, test::readFile(test::dataPath(photos[1])));
    const fs::path card = dir.path() / "card.img";
    test::writeFile(card, image.bytes());
    test::LoopDevice loop(card.string());
    if (loop.path().empty())
        GTEST_SKIP() << "no loop device available (needs root)";

    const fs::path out = dir.path() / "out";
    const std::string command = std::string(SALVORA_EXE) + " recover --device " + loop.path() + " --out " +
                                out.string() + " --quiet >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    ASSERT_EQ(WEXITSTATUS(raw), 0);
    EXPECT_EQ(test::readFile(out / "KV00000.jpg"), test::readFile(test::dataPath(photos[0])));
    EXPECT_EQ(test::readFile(out / "KV00001.jpg"), test::readFile(test::dataPath(photos[1])));
    EXPECT_EQ(test::readFile(card), image.bytes());
}

}  // namespace
}  // namespace salvora

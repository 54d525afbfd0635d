// salvora disks on the running machine, with and without administrator rights.
#include <gtest/gtest.h>

#include "media/sysfs_block.h"
#include "run_salvora.h"

namespace salvora {
namespace {

using test::runSalvora;

// The device path of the first disk the machine has, or "".
std::string firstDisk() {
    const auto names = sysfs::listedDiskNames("/sys");
    return names.empty() ? "" : sysfs::devicePathOf("/sys/block/" + names.front());
}

class MachineDisks : public ::testing::Test {
  protected:
    void SetUp() override {
        disk = firstDisk();
        if (disk.empty())
            GTEST_SKIP() << "this machine has no disk to list";
    }
    std::string disk;
};

TEST_F(MachineDisks, AdministratorSeesTheDisks) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    const auto run = runSalvora({"disks"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  1  "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(disk), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find("needs administrator rights"), std::string::npos) << run.err;
}

TEST_F(MachineDisks, WithoutRightsTheDisksAreListedAndTheReasonGiven) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to drop to another user";
    SKIP_WITHOUT_TOOLS("setpriv");
    const auto run = runSalvora({"disks"}, test::asNobody());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(disk + "  (needs root)"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("Reading disks needs administrator rights. Please run salvora as root"),
              std::string::npos)
        << run.err;
}

TEST_F(MachineDisks, WithoutRightsADiskCannotBeOpened) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to drop to another user";
    SKIP_WITHOUT_TOOLS("setpriv");
    for (const std::vector<std::string>& command : {std::vector<std::string>{"partitions", "1"},
                                                    {"partitions", disk},
                                                    {"recover", "--disk", "1"},
                                                    {"recover", "--device", disk}}) {
        const auto run = runSalvora(command, test::asNobody());
        EXPECT_EQ(run.status, 3) << command[0];
        EXPECT_NE(run.err.find("Reading " + disk + " needs administrator rights."), std::string::npos)
            << run.err;
    }
}

TEST_F(MachineDisks, JsonNamesEveryField) {
    const auto run = runSalvora({"disks", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* field :
         {"\"makerReaderPresent\": ", "\"disks\": [", "\"index\": 1", "\"device\": ", "\"model\": ",
          "\"vendor\": ", "\"product\": ", "\"serial\": ", "\"revision\": ", "\"size\": ", "\"sizeText\": ",
          "\"sectorSize\": ", "\"removable\": ", "\"busType\": ", "\"bus\": ", "\"driveIndex\": 0",
          "\"makerReader\": ", "\"readable\": ", "\"problem\": "}) {
        EXPECT_NE(run.out.find(field), std::string::npos) << field << "\n" << run.out;
    }
}

TEST_F(MachineDisks, UnknownDiskNumberIsAUsageError) {
    const auto run = runSalvora({"partitions", "99"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("There is no disk 99"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace salvora

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "media/bus_type.h"
#include "media/sysfs_block.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// A sysfs tree written by the test, laid out as the kernel lays it out:
// devices under devices/, /sys/block and /sys/dev/block as symbolic links.
class FakeSysfs : public ::testing::Test {
  protected:
    test::TempDir root;

    std::string path(const std::string& relative) const { return (root.path() / relative).string(); }

    void file(const std::string& relative, const std::string& text) const {
        fs::create_directories(fs::path(path(relative)).parent_path());
        std::ofstream(path(relative), std::ios::binary) << text;
    }

    void link(const std::string& relative, const std::string& target) const {
        fs::create_directories(fs::path(path(relative)).parent_path());
        fs::create_directory_symlink(path(target), path(relative));
    }

    // A whole disk at devices/<where>/block/<name> with number major:minor.
    std::string disk(const std::string& where, const std::string& name, const std::string& number,
                     uint64_t sectors) const {
        const std::string dir = "devices/" + where + "/block/" + name;
        file(dir + "/size", std::to_string(sectors) + "\n");
        file(dir + "/dev", number + "\n");
        file(dir + "/removable", "0\n");
        file(dir + "/uevent", "MAJOR=0\nMINOR=0\nDEVNAME=" + name + "\nDEVTYPE=disk\n");
        link("block/" + name, dir);
        link("dev/block/" + number, dir);
        return dir;
    }

    std::string partition(const std::string& diskDir, const std::string& name,
                          const std::string& number) const {
        const std::string dir = diskDir + "/" + name;
        file(dir + "/partition", "1\n");
        file(dir + "/dev", number + "\n");
        link("dev/block/" + number, dir);
        return dir;
    }
};

TEST_F(FakeSysfs, UsbCardReaderIdentity) {
    const std::string dir =
        disk("pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0", "sdb", "8:16", 62333952);
    file(dir + "/removable", "1\n");
    file(dir + "/device/vendor", "Korvell \n");
    file(dir + "/device/model", "QX7R SD Slot    \n");
    file(dir + "/device/rev", "KV07\n");
    file(dir + "/device/vpd_pg80", std::string("\0\x80\0\x0c"
                                               "000000000042",
                                               16));
    const DeviceIdentity identity = sysfs::identityOf(path(dir));
    ASSERT_TRUE(identity.answered);
    EXPECT_EQ(modelText(identity), "Korvell QX7R SD Slot");
    EXPECT_EQ(identity.revision, "KV07");
    EXPECT_TRUE(isMakerReaderRevision(identity.revision));
    EXPECT_EQ(identity.serial, "000000000042");
    EXPECT_EQ(identity.removable, 1u);
    EXPECT_EQ(identity.busType, kBusUsb);
}

TEST_F(FakeSysfs, NvmeAndMmcAndVirtioIdentity) {
    const std::string nvme =
        disk("pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0", "nvme0n1", "259:0", 1000);
    file(nvme + "/device/vendor", "0x144d\n");
    file(nvme + "/device/model", "Samsung SSD 970 EVO 1TB                 \n");
    file(nvme + "/device/firmware_rev", "2B2QEXE7\n");
    file(nvme + "/device/serial", "S467NX0M123456      \n");
    const DeviceIdentity n = sysfs::identityOf(path(nvme));
    EXPECT_FALSE(n.hasVendor) << "a PCI vendor number is not a vendor name";
    EXPECT_EQ(modelText(n), "Samsung SSD 970 EVO 1TB");
    EXPECT_EQ(n.revision, "2B2QEXE7");
    EXPECT_EQ(withOneTrailingSpace(n.serial), "S467NX0M123456 ");
    EXPECT_EQ(n.busType, kBusNvme);

    const std::string mmc = disk("platform/fe320000.mmc/mmc_host/mmc1/mmc1:aaaa", "mmcblk0", "179:0", 1000);
    file(mmc + "/device/name", "SD32G\n");
    file(mmc + "/device/serial", "0x1234abcd\n");
    const DeviceIdentity m = sysfs::identityOf(path(mmc));
    EXPECT_EQ(modelText(m), "SD32G");
    EXPECT_EQ(m.serial, "0x1234abcd");
    EXPECT_EQ(m.busType, kBusSd);

    const std::string virtio = disk("pci0000:00/0000:00:02.0/virtio1", "vda", "254:0", 1000);
    file(virtio + "/device/vendor", "0x1af4\n");
    file(virtio + "/serial", "overlayblk\n");
    const DeviceIdentity v = sysfs::identityOf(path(virtio));
    EXPECT_TRUE(v.answered);
    EXPECT_EQ(modelText(v), "");
    EXPECT_EQ(v.serial, "overlayblk");
    EXPECT_EQ(v.busType, kBusVirtual);
    EXPECT_FALSE(sysfs::identityOf(path("devices/none")).answered);
}

TEST_F(FakeSysfs, OnlyHardwareDisksWithASizeAreListed) {
    disk("pci0000:00/ata1/host0/target0:0:0/0:0:0:0", "sda", "8:0", 1000);
    disk("pci0000:00/usb1/1-1/host6/target6:0:0/6:0:0:0", "sdb", "8:16", 0);  // empty card slot
    disk("virtual", "loop0", "7:0", 2048);
    disk("virtual", "zram0", "252:0", 4096);
    disk("virtual", "dm-0", "253:0", 4096);
    const std::string optical = disk("pci0000:00/ata2/host1/target1:0:0/1:0:0:0", "sr0", "11:0", 4096);
    file(optical + "/device/type", "5\n");
    disk("platform/mmc_host/mmc0/mmc0:0001", "mmcblk0", "179:0", 4096);
    disk("platform/mmc_host/mmc0/mmc0:0001", "mmcblk0boot0", "179:8", 4096);
    disk("platform/mmc_host/mmc0/mmc0:0001", "mmcblk0rpmb", "179:24", 4096);
    EXPECT_EQ(sysfs::listedDiskNames(root.path().string()), (std::vector<std::string>{"mmcblk0", "sda"}));
}

TEST_F(FakeSysfs, DevicePathComesFromTheDeviceName) {
    const std::string dir = disk("pci0000:00/cciss", "cciss!c0d0", "104:0", 10);
    file(dir + "/uevent", "DEVNAME=cciss/c0d0\n");
    EXPECT_EQ(sysfs::devicePathOf(path(dir)), "/dev/cciss/c0d0");
    EXPECT_EQ(sysfs::devicePathOf(path("devices/x/block/sdq")), "/dev/sdq");
}

TEST_F(FakeSysfs, PartitionsAndMappedDevicesLeadToTheirWholeDisks) {
    const std::string sda = disk("pci0000:00/ata1/host0/target0:0:0/0:0:0:0", "sda", "8:0", 1000);
    const std::string sdb = disk("pci0000:00/ata2/host1/target1:0:0/1:0:0:0", "sdb", "8:16", 1000);
    const std::string sda2 = partition(sda, "sda2", "8:2");
    const std::string sdb1 = partition(sdb, "sdb1", "8:17");
    // An encrypted volume on sda2, and a volume group over it and sdb1.
    const std::string crypt = disk("virtual", "dm-0", "253:0", 900);
    link(crypt + "/slaves/sda2", sda2);
    const std::string lvm = disk("virtual", "dm-1", "253:1", 1800);
    link(lvm + "/slaves/dm-0", crypt);
    link(lvm + "/slaves/sdb1", sdb1);
    const std::string sysRoot = root.path().string();
    EXPECT_EQ(sysfs::wholeDisksUnder(sysRoot, "8:2"), (std::set<std::string>{"8:0"}));
    EXPECT_EQ(sysfs::wholeDisksUnder(sysRoot, "8:0"), (std::set<std::string>{"8:0"}));
    EXPECT_EQ(sysfs::wholeDisksUnder(sysRoot, "253:1"), (std::set<std::string>{"8:0", "8:16"}));
    EXPECT_TRUE(sysfs::wholeDisksUnder(sysRoot, "0:44").empty()) << "unknown device";
}

// Regression guard: a mapping that names itself must not recurse forever.
TEST_F(FakeSysfs, SelfReferencingMappingEnds) {
    const std::string dm = disk("virtual", "dm-0", "253:0", 900);
    link(dm + "/slaves/dm-0", dm);
    EXPECT_TRUE(sysfs::wholeDisksUnder(root.path().string(), "253:0").empty());
}

TEST(NaturalOrder, DeviceNamesSortAsPeopleCountThem) {
    std::vector<std::string> names{"sdaa", "sdb", "nvme10n1", "sda", "nvme2n1", "sdz", "mmcblk1", "mmcblk0"};
    std::sort(names.begin(), names.end(), sysfs::naturalLess);
    EXPECT_EQ(names, (std::vector<std::string>{"mmcblk0", "mmcblk1", "nvme2n1", "nvme10n1", "sda", "sdb",
                                               "sdz", "sdaa"}));
    EXPECT_FALSE(sysfs::naturalLess("sda", "sda"));
    EXPECT_TRUE(sysfs::naturalLess("sd", "sda"));
}

TEST(RunningSystem, ListedDisksAreRealWholeDisks) {
    for (const std::string& name : sysfs::listedDiskNames("/sys")) {
        EXPECT_EQ(name.rfind("loop", 0), std::string::npos) << name;
        EXPECT_EQ(name.rfind("zram", 0), std::string::npos) << name;
        EXPECT_NE(sysfs::readText("/sys/block/" + name + "/size"), "0") << name;
        EXPECT_TRUE(sysfs::identityOf("/sys/block/" + name).answered) << name;
    }
}

}  // namespace
}  // namespace salvora

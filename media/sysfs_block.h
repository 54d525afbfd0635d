// What Linux tells about its block devices in sysfs: which are whole disks
// to list, who made them, and which whole disks lie under a file system.
// Every function takes the sysfs root ("/sys" on a running system) so that
// tests can give a tree of their own. Linux only.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "media/storage_descriptor.h"

namespace salvora::sysfs {

// The text of a small sysfs file without its trailing line end; empty when
// the file is missing or unreadable.
std::string readText(const std::string& path);

// "MAJ:MIN" of a device number.
std::string deviceNumberText(unsigned long long device);

// The sysfs directory of the block device "MAJ:MIN" with symbolic links
// resolved (a partition's directory lies inside its disk's); empty when
// there is none.
std::string blockDirectory(const std::string& sysRoot, const std::string& majorMinor);

// The directory of the whole disk that holds `blockDir` (the disk itself or
// the parent of a partition).
std::string wholeDiskDirectory(const std::string& blockDir);

// The "MAJ:MIN" of the whole disks that hold the block device "MAJ:MIN": its
// own disk, or for a mapped device (LVM, encryption, software RAID) the disks
// under the devices it is built on. Empty when sysfs does not know the device.
std::set<std::string> wholeDisksUnder(const std::string& sysRoot, const std::string& majorMinor);

// Names of the entries of <sysRoot>/block to list as disks, in natural order
// (sda, sdb, ..., sdz, sdaa; nvme2n1 before nvme10n1). Listed are whole
// disks backed by hardware with a size above 0: virtual devices (loop, RAM,
// compressed RAM, device-mapper, software RAID, network block devices),
// optical drives and the boot and RPMB areas of eMMC chips are left out.
std::vector<std::string> listedDiskNames(const std::string& sysRoot);

// The device path of a disk directory: /dev/ followed by the DEVNAME of its
// uevent file, or by the directory's name when that is missing.
std::string devicePathOf(const std::string& diskDir);

// Identity of a whole disk from sysfs: vendor, model, revision and serial of
// SCSI, USB, ATA, NVMe, MMC/SD and virtio disks, the removable flag and the
// bus the disk hangs on. Texts keep the padding the device reported.
DeviceIdentity identityOf(const std::string& diskDir);

// The natural order of device names: disks counted in letters (sd, vd, xvd,
// hd) go a ... z, aa ...; digit runs compare as numbers (nvme2n1 before
// nvme10n1); otherwise alphabetical.
bool naturalLess(const std::string& a, const std::string& b);

}  // namespace salvora::sysfs

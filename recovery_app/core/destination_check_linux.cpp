#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "media/media_reader.h"
#include "media/sysfs_block.h"
#include "recovery_app/core/destination_check.h"
#include "recovery_app/core/output_guard.h"

namespace salvora {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSysRoot = "/sys";

// The folder itself when it exists, else its nearest existing parent: a
// destination that is still to be created will be created there.
fs::path existingFolder(const std::string& destination) {
    std::error_code error;
    fs::path folder = fs::absolute(destination, error).lexically_normal();
    while (!fs::exists(folder, error) && folder.has_relative_path())
        folder = folder.parent_path();
    return folder;
}

std::set<std::string> disksOfBlockDevice(const std::string& devicePath) {
    struct stat info {};
    if (::stat(devicePath.c_str(), &info) != 0 || !S_ISBLK(info.st_mode))
        return {};
    return sysfs::wholeDisksUnder(kSysRoot, sysfs::deviceNumberText(info.st_rdev));
}

// The whole disks of the loop devices attached to the image file at `path`.
std::set<std::string> disksOfLoopsOver(const std::string& path) {
    std::set<std::string> disks;
    for (const std::string& loop : loopDevicesBackedBy(kSysRoot, path))
        disks.merge(sysfs::wholeDisksUnder(kSysRoot, loop));
    return disks;
}

// The disks a medium's bytes can be reached through: a device's whole disks,
// or the loop devices attached to an image file (their partitions and the
// mapped devices built on them lead back to them). A loop device brings the
// other loop devices over the same file.
std::set<std::string> disksOfMedium(const std::string& devicePath) {
    std::set<std::string> disks = disksOfBlockDevice(devicePath);
    if (disks.empty())
        return disksOfLoopsOver(devicePath);
    for (const std::string& disk : std::set<std::string>(disks)) {
        const std::string backing = loopBackingFile(kSysRoot, disk);
        if (!backing.empty())
            disks.merge(disksOfLoopsOver(backing));
    }
    return disks;
}

// The device a mount of device number `majorMinor` was made from, as
// /proc/self/mountinfo names it (file systems such as btrfs report a device
// number of their own that sysfs does not know).
std::string mountSource(const std::string& majorMinor) {
    std::ifstream mounts("/proc/self/mountinfo");
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string id, parent, number;
        fields >> id >> parent >> number;
        if (number != majorMinor)
            continue;
        const size_t separator = line.find(" - ");
        if (separator == std::string::npos)
            continue;
        std::istringstream tail(line.substr(separator + 3));
        std::string type, source;
        tail >> type >> source;
        return source;
    }
    return std::string();
}

std::set<std::string> disksHoldingFolder(const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return {};
    const std::string number = sysfs::deviceNumberText(info.st_dev);
    std::set<std::string> disks = sysfs::wholeDisksUnder(kSysRoot, number);
    if (disks.empty())
        disks = disksOfBlockDevice(mountSource(number));
    return disks;
}

}  // namespace

bool destinationOnDisk(const std::string& destination, const MediaReader& disk) {
    const std::set<std::string> recovered = disksOfMedium(disk.devicePath);
    if (recovered.empty())
        return false;
    for (const std::string& number : disksHoldingFolder(existingFolder(destination))) {
        if (recovered.count(number))
            return true;
    }
    return false;
}

}  // namespace salvora

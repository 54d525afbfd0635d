#include <sys/stat.h>

#include <filesystem>

#include "media/media_reader.h"
#include "media/sysfs_block.h"
#include "recovery_app/core/destination_check.h"
#include "recovery_app/core/output_guard.h"

namespace salvora {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSysRoot = "/sys";

bool sameFile(const struct stat& a, const struct stat& b) {
    if (S_ISBLK(a.st_mode) && S_ISBLK(b.st_mode))
        return a.st_rdev == b.st_rdev;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::set<std::string> loopDevicesBackedBy(const std::string& sysRoot, const std::string& path) {
    std::set<std::string> loops;
    struct stat image {};
    if (::stat(path.c_str(), &image) != 0 || !S_ISREG(image.st_mode))
        return loops;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysRoot + "/block", error)) {
        const std::string dir = entry.path().string();
        const std::string backing = sysfs::readText(dir + "/loop/backing_file");
        struct stat info {};
        if (backing.empty() || ::stat(backing.c_str(), &info) != 0 || !sameFile(info, image))
            continue;
        const std::string number = sysfs::readText(dir + "/dev");
        if (!number.empty())
            loops.insert(number);
    }
    return loops;
}

std::string loopBackingFile(const std::string& sysRoot, const std::string& majorMinor) {
    const std::string dir = sysfs::blockDirectory(sysRoot, majorMinor);
    if (dir.empty())
        return std::string();
    return sysfs::readText(sysfs::wholeDiskDirectory(dir) + "/loop/backing_file");
}

PathFacts pathFacts(const std::string& path, const MediaReader& source) {
    PathFacts facts;
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0) {
        struct stat medium {};
        if (::stat(source.devicePath.c_str(), &medium) == 0) {
            facts.sourceIsDevice = S_ISBLK(medium.st_mode);
            facts.isSource = sameFile(target, medium);
            // A loop device's bytes are those of its backing file.
            struct stat backing {};
            const std::string file = S_ISBLK(medium.st_mode)
                                         ? loopBackingFile(kSysRoot, sysfs::deviceNumberText(medium.st_rdev))
                                         : "";
            facts.isSource = facts.isSource || (!file.empty() && ::stat(file.c_str(), &backing) == 0 &&
                                                sameFile(target, backing));
        }
        facts.blockDevice = S_ISBLK(target.st_mode);
    }
    facts.onSourceDisk = !facts.blockDevice && destinationOnDisk(path, source);
    return facts;
}

}  // namespace salvora

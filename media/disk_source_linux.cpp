#include "media/device_identity.h"
#include "media/disk_list.h"
#include "media/sysfs_block.h"

namespace salvora {

namespace {

constexpr uint64_t kSysfsSectorUnit = 512;  // sysfs gives sizes in 512-byte units

// A disk known from sysfs that this process cannot read: size, sector size
// and identity are filled, every read returns 0.
class DescribedDisk : public MediaReader {
  public:
    void close() override {}

  protected:
    int32_t deviceRead(void*, uint32_t, uint64_t) override { return 0; }
};

std::unique_ptr<MediaReader> describe(const std::string& diskDir, const std::string& devicePath,
                                      const PartitionScheme* partitionScheme, uint32_t flags) {
    const uint64_t sectors = std::strtoull(sysfs::readText(diskDir + "/size").c_str(), nullptr, 10);
    if (sectors == 0)
        return nullptr;
    auto disk = std::make_unique<DescribedDisk>();
    disk->devicePath = devicePath;
    disk->partitionScheme = partitionScheme;
    disk->openFlags = flags;
    const uint64_t logical =
        std::strtoull(sysfs::readText(diskDir + "/queue/logical_block_size").c_str(), nullptr, 10);
    disk->sectorSize = logical >= 512 && logical <= 65536 ? static_cast<uint32_t>(logical) : 512;
    applyIdentity(*disk, sysfs::identityOf(diskDir));
    reconcileGeometry(*disk, sectors * kSysfsSectorUnit);
    return disk;
}

class LinuxDiskSource : public DiskSource {
  public:
    std::vector<std::string> candidatePaths() override {
        std::vector<std::string> paths;
        directories_.clear();
        for (const std::string& name : sysfs::listedDiskNames("/sys")) {
            const std::string dir = "/sys/block/" + name;
            paths.push_back(sysfs::devicePathOf(dir));
            directories_[paths.back()] = dir;
        }
        return paths;
    }

    std::unique_ptr<MediaReader> open(const std::string& devicePath, const PartitionScheme* partitionScheme,
                                      uint32_t flags, std::string& whyNot, OpenFailure& failure) override {
        std::unique_ptr<MediaReader> reader =
            openDevice(devicePath, partitionScheme, flags, &whyNot, &failure);
        if (reader || (failure != OpenFailure::kNoRights && failure != OpenFailure::kOther))
            return reader;
        const auto dir = directories_.find(devicePath);
        return dir == directories_.end() ? nullptr
                                         : describe(dir->second, devicePath, partitionScheme, flags);
    }

  private:
    std::map<std::string, std::string> directories_;
};

}  // namespace

DiskSource& systemDiskSource() {
    static LinuxDiskSource source;
    return source;
}

}  // namespace salvora

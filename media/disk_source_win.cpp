#include <cstdio>

#include "media/disk_list.h"

namespace salvora {

namespace {

constexpr unsigned kPhysicalDrives = 16;

class WindowsDiskSource : public DiskSource {
  public:
    std::vector<std::string> candidatePaths() override {
        std::vector<std::string> paths;
        for (unsigned number = 0; number < kPhysicalDrives; ++number) {
            char path[20];
            std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%u", number);
            paths.push_back(path);
        }
        return paths;
    }

    std::unique_ptr<MediaReader> open(const std::string& devicePath, const PartitionScheme* partitionScheme,
                                      uint32_t flags, std::string& whyNot, OpenFailure& failure) override {
        return openDevice(devicePath, partitionScheme, flags, &whyNot, &failure);
    }
};

}  // namespace

DiskSource& systemDiskSource() {
    static WindowsDiskSource source;
    return source;
}

}  // namespace salvora

#include <windows.h>
#include <winioctl.h>

#include <cstdio>
#include <vector>

#include "media/media_reader.h"
#include "media/text_win.h"
#include "recovery_app/core/destination_check.h"
#include "recovery_app/core/volumes_win.h"

namespace salvora {

namespace {

// The disk of the volume of `letter` when the volume lies on exactly one
// extent; false when it cannot be opened or asked.
bool volumeDisk(char letter, uint32_t& diskNumber) {
    char path[8];
    std::snprintf(path, sizeof path, "\\\\.\\%c:", letter);
    const HANDLE volume = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE)
        return false;
    VOLUME_DISK_EXTENTS extents{};  // room for exactly one extent
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &extents,
                                    sizeof extents, &returned, nullptr);
    CloseHandle(volume);
    if (!ok || extents.NumberOfDiskExtents < 1)
        return false;
    diskNumber = extents.Extents[0].DiskNumber;
    return true;
}

// Room for the extents of a volume on many disks.
constexpr DWORD kMostExtents = 64;

class SystemVolumes : public VolumeTable {
  public:
    std::optional<std::string> mountPointOf(const std::string& path) const override {
        wchar_t mountPoint[MAX_PATH + 1] = {};
        if (!GetVolumePathNameW(widen(path).c_str(), mountPoint, MAX_PATH))
            return std::nullopt;
        return narrow(mountPoint);
    }
    std::optional<std::string> volumeAt(const std::string& mountPoint) const override {
        wchar_t volume[MAX_PATH + 1] = {};
        if (!GetVolumeNameForVolumeMountPointW(widen(mountPoint).c_str(), volume, MAX_PATH))
            return std::nullopt;
        return narrow(volume);
    }
    std::vector<uint32_t> disksOf(const std::string& volume) const override {
        // The volume itself is opened without its closing backslash.
        std::wstring device = widen(volume);
        if (!device.empty() && device.back() == L'\\')
            device.pop_back();
        const HANDLE handle = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return {};
        std::vector<uint8_t> room(sizeof(VOLUME_DISK_EXTENTS) + kMostExtents * sizeof(DISK_EXTENT));
        DWORD returned = 0;
        const BOOL ok = DeviceIoControl(handle, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, room.data(),
                                        static_cast<DWORD>(room.size()), &returned, nullptr);
        CloseHandle(handle);
        if (!ok)
            return {};
        const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(room.data());
        std::vector<uint32_t> disks;
        for (DWORD i = 0; i < extents->NumberOfDiskExtents && i < kMostExtents; ++i)
            disks.push_back(extents->Extents[i].DiskNumber);
        return disks;
    }
};

}  // namespace

const VolumeTable& systemVolumes() {
    static const SystemVolumes volumes;
    return volumes;
}

std::vector<VolumeOnDisk> volumesOnDisks() {
    std::vector<VolumeOnDisk> volumes;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        uint32_t diskNumber = 0;
        if (volumeDisk(letter, diskNumber))
            volumes.push_back({letter, diskNumber});
    }
    return volumes;
}

bool destinationOnDisk(const std::string& destination, const MediaReader& disk) {
    // Only physical drives have volumes with drive letters; an image file has none.
    if (disk.devicePath.rfind("\\\\.\\PhysicalDrive", 0) != 0)
        return false;
    const DiskLetters letters = diskLettersOf(volumesOnDisks());
    if (disk.driveIndex < letters.size() && lettersHoldDestination(letters[disk.driveIndex], destination))
        return true;
    return volumeHoldsDestination(systemVolumes(), destination, disk.driveIndex);
}

}  // namespace salvora

#include <windows.h>
#include <winioctl.h>

#include <cstdio>

#include "media/media_reader.h"
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

}  // namespace

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
    return disk.driveIndex < letters.size() && lettersHoldDestination(letters[disk.driveIndex], destination);
}

}  // namespace salvora

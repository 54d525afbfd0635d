// Refusing a destination folder that lives on the disk being recovered:
// every file written there could overwrite the lost files still waiting on it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace salvora {

class MediaReader;

// The refusal, filled with the destination and the disk's name, ending with
// `lastSentence` (how to choose another destination in this front end).
std::string sameDiskMessage(const std::string& destination, const std::string& diskName,
                            const std::string& lastSentence);

// True when `destination` (a folder, existing or not) lies on a file system
// of the physical disk `disk`, whatever partition of it. An image file holds
// the file systems of the loop devices attached to it (Linux); otherwise it
// holds no destination. Platform code.
bool destinationOnDisk(const std::string& destination, const MediaReader& disk);

// --- Drive letters (the way Windows tells which disk a folder is on) ---

// The drive names ("C:", "D:") of the volumes of each physical disk 0 to 15,
// run together ("C:D:").
using DiskLetters = std::array<std::string, 16>;

// A volume that lies on one extent of one physical disk.
struct VolumeOnDisk {
    char letter;          // 'C' to 'Z'
    uint32_t diskNumber;  // the N of "\\.\PhysicalDrive%u"
};

// The drive names per disk number; volumes on disks 16 and above are left out.
DiskLetters diskLettersOf(const std::vector<VolumeOnDisk>& volumes);

// True when the drive of `destination` (its text before the first backslash,
// for example "D:") is one of the drive names in `letters`, ignoring case. A
// destination without a drive (a network path "\\server\share\") matches none.
bool lettersHoldDestination(const std::string& letters, const std::string& destination);

}  // namespace salvora

#include "recovery_app/core/destination_check.h"

#include <algorithm>
#include <cctype>

#include "recovery_app/core/messages.h"

namespace salvora {

namespace {
constexpr size_t kDriveNameLength = 2;  // letter and colon
}  // namespace

std::string sameDiskMessage(const std::string& destination, const std::string& diskName,
                            const std::string& lastSentence) {
    // The two %s of the text, filled in order; the texts may be of any length.
    std::string text = messages::kSameDisk;
    const size_t first = text.find("%s");
    text.replace(first, 2, destination);
    text.replace(text.find("%s", first + destination.size()), 2, diskName);
    return text + lastSentence;
}

DiskLetters diskLettersOf(const std::vector<VolumeOnDisk>& volumes) {
    DiskLetters letters;
    for (const VolumeOnDisk& volume : volumes) {
        if (volume.diskNumber >= letters.size())
            continue;
        letters[volume.diskNumber] += volume.letter;
        letters[volume.diskNumber] += ':';
    }
    return letters;
}

bool lettersHoldDestination(const std::string& letters, const std::string& destination) {
    const std::string drive = destination.substr(0, destination.find('\\'));
    if (drive.size() != kDriveNameLength)
        return false;
    for (size_t at = 0; at + kDriveNameLength <= letters.size(); at += kDriveNameLength) {
        if (std::toupper(static_cast<unsigned char>(letters[at])) ==
                std::toupper(static_cast<unsigned char>(drive[0])) &&
            letters[at + 1] == drive[1]) {
            return true;
        }
    }
    return false;
}

bool volumeHoldsDestination(const VolumeTable& volumes, const std::string& destination, uint32_t diskNumber) {
    const std::optional<std::string> mountPoint = volumes.mountPointOf(destination);
    if (!mountPoint)
        return false;
    const std::optional<std::string> volume = volumes.volumeAt(*mountPoint);
    if (!volume)
        return false;
    const std::vector<uint32_t> disks = volumes.disksOf(*volume);
    return std::find(disks.begin(), disks.end(), diskNumber) != disks.end();
}

}  // namespace salvora

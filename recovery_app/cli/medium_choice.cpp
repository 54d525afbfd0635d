#include "recovery_app/cli/medium_choice.h"

#include <cctype>
#include <cstdio>

#include "media/device_reader.h"
#include "media/error_text.h"
#include "media/image_reader.h"
#include "partitions/current_medium.h"
#include "partitions/partition_scheme.h"
#include "recovery_app/cli/exit_codes.h"

namespace salvora::cli {

std::string noRightsMessage(const std::string& what) {
    return "Reading " + what +
           " needs administrator rights. Please run salvora as root, for example with sudo.";
}

std::string unreadableText(const MediaReader& disk, const UnreadableDisk& unreadable) {
    return unreadable.failure == OpenFailure::kNoRights ? noRightsMessage(disk.devicePath)
                                                        : unreadable.reason;
}

int listSystemDisks(ListedDisks& disks, std::string& error) {
    disks.list = listDisks(&pcPartitionScheme(), kDefaultOpenFlags);
    disks.rows = diskRows(disks.list, kAllDisks);
    if (disks.rows.empty() && disks.list.deniedCount != 0) {
        error = noRightsMessage("disks");
        return kExitSourceFailed;
    }
    return kExitSuccess;
}

bool parseRowNumber(const std::string& text, size_t& number) {
    if (text.empty() || text.size() > 6)
        return false;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    number = std::stoul(text);
    return number >= 1;
}

int chooseListedDisk(const std::string& text, ChosenMedium& chosen, std::string& error) {
    size_t number = 0;
    if (!parseRowNumber(text, number)) {
        error = "\"" + text + "\" is not a disk number; salvora disks lists the disks with their numbers.";
        return kExitUsage;
    }
    if (const int code = listSystemDisks(chosen.disks, error); code != kExitSuccess)
        return code;
    if (number > chosen.disks.rows.size()) {
        error = "There is no disk " + std::to_string(number) + ": salvora disks lists " +
                std::to_string(chosen.disks.rows.size()) + ".";
        if (chosen.disks.list.deniedCount != 0)
            error += " " + noRightsMessage("the other disks");
        return kExitUsage;
    }
    chosen.medium = chosen.disks.rows[number - 1].disk;
    if (const UnreadableDisk* unreadable = unreadableReason(chosen.disks.list, *chosen.medium)) {
        error = unreadableText(*chosen.medium, *unreadable);
        return kExitSourceFailed;
    }
    return kExitSuccess;
}

int chooseDevice(const std::string& path, ChosenMedium& chosen, std::string& error) {
    OpenFailure failure = OpenFailure::kNone;
    chosen.opened = openDevice(path, &pcPartitionScheme(), kDefaultOpenFlags, &error, &failure);
    if (!chosen.opened) {
        if (failure == OpenFailure::kNoRights)
            error = noRightsMessage(path);
        return kExitSourceFailed;
    }
    chosen.medium = chosen.opened.get();
    return kExitSuccess;
}

int chooseImage(const std::string& path, ChosenMedium& chosen, std::string& error) {
    chosen.opened = openImage(path, error, &chosen.description);
    if (!chosen.opened)
        return kExitSourceFailed;
    if (!chosen.description.incomplete.empty()) {
        std::fprintf(
            stderr,
            "salvora: the image %s is incomplete: %s. The parts of the medium held there cannot be read.\n",
            path.c_str(), chosen.description.incomplete.c_str());
    }
    chosen.medium = chosen.opened.get();
    chosen.image = true;
    return kExitSuccess;
}

int chooseDisk(const std::string& disk, ChosenMedium& chosen, std::string& error) {
    size_t number = 0;
    if (parseRowNumber(disk, number))
        return chooseListedDisk(disk, chosen, error);
    return chooseDevice(disk, chosen, error);
}

int listPartitions(MediaReader& medium, ListedPartitions& partitions, std::string& error) {
    clearLastErrorText();
    partitions.list = selectCurrentMedium(medium);
    if (partitions.list.empty()) {
        const std::string why = lastErrorText();
        error = "Cannot read the partition table of " + medium.devicePath + (why.empty() ? "." : ": " + why);
        return kExitReadFailed;
    }
    partitions.rows = partitionRows(partitions.list, medium.size);
    return kExitSuccess;
}

}  // namespace salvora::cli

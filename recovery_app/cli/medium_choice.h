// Choosing the medium and the partition a command works on: a disk by the
// row number "salvora disks" prints, a device by its path, or an image file;
// a partition by the row number "salvora partitions" prints.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/disk_list.h"
#include "media/image_reader.h"
#include "recovery_app/core/disk_rows.h"
#include "recovery_app/core/partition_rows.h"

namespace salvora::cli {

// The disks as "salvora disks" lists them.
struct ListedDisks {
    DiskList list;              // owns the open readers
    std::vector<DiskRow> rows;  // all disks, at most kMaxDiskRows
};

// Lists the system's disks. Returns kExitSuccess, or kExitSourceFailed with a
// message in `error` when no disk could be listed because reading disks
// needs administrator rights.
int listSystemDisks(ListedDisks& disks, std::string& error);

// The sentence telling that reading `what` needs administrator rights.
std::string noRightsMessage(const std::string& what);

// Why a listed disk cannot be read, in words.
std::string unreadableText(const MediaReader& disk, const UnreadableDisk& unreadable);

// A chosen medium with what keeps it open.
struct ChosenMedium {
    ListedDisks disks;                    // when chosen by row number
    std::unique_ptr<MediaReader> opened;  // when opened by path
    MediaReader* medium = nullptr;
    bool image = false;            // an image file rather than a disk
    ImageDescription description;  // for an image: its format, files and acquisition hashes
};

// Opens row `number` (counted from 1) of the disk listing.
int chooseListedDisk(const std::string& number, ChosenMedium& chosen, std::string& error);
// Opens a disk (or partition) device by its path.
int chooseDevice(const std::string& path, ChosenMedium& chosen, std::string& error);
// Opens an image, telling its format by its content (raw, split raw, Expert
// Witness). An evidence image with a missing or truncated segment opens with
// a warning on standard error naming the problem.
int chooseImage(const std::string& path, ChosenMedium& chosen, std::string& error);
// A disk named by its row number or by a device path.
int chooseDisk(const std::string& disk, ChosenMedium& chosen, std::string& error);

// The partitions of a medium as "salvora partitions" lists them.
struct ListedPartitions {
    PartitionList list;              // owns the records
    std::vector<PartitionRow> rows;  // refer into list
};

// Reads the partition table of `medium`. Returns kExitSuccess, or
// kExitReadFailed with a message when its first sector cannot be read.
int listPartitions(MediaReader& medium, ListedPartitions& partitions, std::string& error);

// Parses a row number counted from 1; false for anything else.
bool parseRowNumber(const std::string& text, size_t& number);

}  // namespace salvora::cli

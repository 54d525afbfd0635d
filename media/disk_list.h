// The list of physical drives the user chooses from.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "media/device_reader.h"
#include "media/media_reader.h"

namespace salvora {

// Where a platform finds its physical drives.
class DiskSource {
  public:
    virtual ~DiskSource() = default;
    // The device paths to try, in listing order. The position of a path in
    // this list becomes the reader's driveIndex.
    virtual std::vector<std::string> candidatePaths() = 0;
    // Opens one candidate; the contract of openDevice(). A source that can
    // describe a disk it cannot read (its size and identity are known
    // without reading it) may return such a reader instead, with `failure`
    // and `whyNot` set; its reads return 0.
    virtual std::unique_ptr<MediaReader> open(const std::string& devicePath,
                                              const PartitionScheme* partitionScheme, uint32_t flags,
                                              std::string& whyNot, OpenFailure& failure) = 0;
};

// The physical drives of the running system: "\\.\PhysicalDrive0" to 15 on
// Windows; on Linux the whole disks of sysfs::listedDiskNames(), described
// from sysfs when they cannot be read.
DiskSource& systemDiskSource();

// Why a listed disk cannot be read.
struct UnreadableDisk {
    OpenFailure failure;  // kNoRights or kOther
    std::string reason;   // in words
};

struct DiskList {
    // Open readers in ascending driveIndex; no two share a devicePath.
    std::vector<std::unique_ptr<MediaReader>> readers;
    // Listed disks that cannot be read, by devicePath.
    std::map<std::string, UnreadableDisk> unreadable;
    // Drives that exist but could not be read without administrator rights,
    // and the reason given for the first of them.
    uint32_t deniedCount = 0;
    std::string deniedReason;
};

// Why a listed disk cannot be read, or nullptr when it can.
const UnreadableDisk* unreadableReason(const DiskList& list, const MediaReader& disk);

// Appends `reader` unless a reader with the same devicePath is listed, in
// which case `reader` is closed and dropped. Returns true when appended; an
// absent reader changes nothing.
bool addDisk(DiskList& list, std::unique_ptr<MediaReader> reader);

// Opens every candidate of `source` with `partitionScheme` and `flags`, sets
// each opened reader's driveIndex to its candidate position and lists it.
// Candidates that are missing, empty or cannot be opened are skipped
// silently (those refused for lack of rights are counted); disks the source
// could only describe are listed and recorded in `unreadable`. Clears and then sets the
// process-wide makerReaderPresent flag.
DiskList listDisks(const PartitionScheme* partitionScheme, uint32_t flags,
                   DiskSource& source = systemDiskSource());

// True when the last listDisks() met a device whose product revision is the
// maker's card reader's (isMakerReaderRevision).
bool makerReaderPresent();

// Called by the identification of every device opened, also one that is then
// refused for a size of 0 (a card reader with empty slots): sets the
// makerReaderPresent flag when `revision` is the maker's card reader's.
void noteIdentifiedRevision(const std::string& revision);

}  // namespace salvora

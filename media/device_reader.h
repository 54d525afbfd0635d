// Physical drives as media.
#pragma once

#include <memory>
#include <string>

#include "media/media_reader.h"

namespace salvora {

// Why a device could not be opened.
enum class OpenFailure {
    kNone,
    kNoRights,  // the device exists but reading it needs administrator rights
    kNotFound,  // there is no such device
    kNoMedium,  // the device reports a size of 0 (for example an empty card slot)
    kOther,     // any other failure; whyNot tells which
};

// Opens the device at `devicePath` read-only ("\\.\PhysicalDrive%u" on
// Windows, a block device such as /dev/sdb on Linux), fills sector size,
// geometry, size and identity, and returns the reader. Returns nothing when
// the device cannot be opened or reports a size of 0; `whyNot`, when given,
// then receives the reason in words and `failure`, when given, its kind.
std::unique_ptr<MediaReader> openDevice(const std::string& devicePath, const PartitionScheme* partitionScheme,
                                        uint32_t flags, std::string* whyNot = nullptr,
                                        OpenFailure* failure = nullptr);

// Fills the identity fields of an opened device reader (vendor, product,
// serial, revision, model, fixedMedia, busType) from what the system reports.
// A device that reports nothing keeps empty texts and zero flags.
void identifyDevice(MediaReader& reader);

}  // namespace salvora

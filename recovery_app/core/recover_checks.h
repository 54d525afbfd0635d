// The checks the window makes, in their order, before it starts a recovery.
#pragma once

#include <string>

#include "carve/family.h"

namespace salvora {

enum class RecoverRefusal {
    kNone,             // the recovery may start
    kNoPartition,      // "Please Select a Partition..."
    kNoFileType,       // "Please select at least one file type."
    kDestinationDisk,  // the destination lies on the disk being recovered
};

struct RecoverCheck {
    RecoverRefusal refusal = RecoverRefusal::kNone;
    std::string text;  // the message shown, empty when the recovery may start
};

// Checks, in this order: a partition row is chosen; a family is enabled; the
// destination (UTF-8, "D:\Folder\") is not on the chosen disk: its drive is
// not one of `diskDrives` (the drive names of the volumes on the chosen disk
// run together, "C:D:") and `volumeOnDisk` is false (the destination's volume,
// however it is reached, has no extent on the disk). `diskName` names the
// disk in the refusal.
RecoverCheck checkBeforeRecovery(bool partitionChosen, const EnabledFamilies& families,
                                 const std::string& destination, const std::string& diskDrives,
                                 const std::string& diskName, bool volumeOnDisk = false);

}  // namespace salvora

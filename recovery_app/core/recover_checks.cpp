#include "recovery_app/core/recover_checks.h"

#include "recovery_app/core/destination_check.h"
#include "recovery_app/core/file_types.h"
#include "recovery_app/core/messages.h"

namespace salvora {

RecoverCheck checkBeforeRecovery(bool partitionChosen, const EnabledFamilies& families,
                                 const std::string& destination, const std::string& diskDrives,
                                 const std::string& diskName, bool volumeOnDisk) {
    if (!partitionChosen)
        return {RecoverRefusal::kNoPartition, messages::kSelectPartition};
    if (!anyFamilyEnabled(families))
        return {RecoverRefusal::kNoFileType, messages::kSelectFileType};
    if (lettersHoldDestination(diskDrives, destination) || volumeOnDisk) {
        return {RecoverRefusal::kDestinationDisk,
                sameDiskMessage(destination, diskName, messages::kSameDiskEndingWindow)};
    }
    return {};
}

}  // namespace salvora

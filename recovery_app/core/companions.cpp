#include "recovery_app/core/companions.h"

#include "recovery_app/core/messages.h"

namespace salvora {

CompanionLaunch planCompanionLaunch(Companion companion, bool makerReaderPresent,
                                    const std::function<bool(const std::string&)>& exists) {
    CompanionLaunch launch;
    if (companion == Companion::kFormatTool) {
        launch.program = kFormatToolFile;
        if (!exists(kFormatToolFile)) {
            launch.error = messages::kFormatToolMissing;
        } else if (!exists(kFormatLibraryFile)) {
            launch.error = messages::kFormatLibraryMissing;
        }
        return launch;
    }
    launch.program = kProtectionToolFile;
    if (!makerReaderPresent) {
        launch.error = messages::kReaderMissing;
    } else if (!exists(kProtectionToolFile)) {
        launch.error = messages::kProtectionToolMissing;
    } else {
        launch.askFirst = true;
    }
    return launch;
}

}  // namespace salvora

#include "recovery_app/core/scan_outcome.h"

#include <cstdio>

#include "carve/scan.h"
#include "recovery_app/core/messages.h"
#include "recovery_app/core/progress_estimate.h"

namespace salvora {

std::optional<ScanOutcome> scanOutcome(int32_t result, uint32_t recovered, const std::string& lastError) {
    char text[128];
    if (result == kScanFinished) {
        std::snprintf(text, sizeof text, messages::kRecoveryComplete, static_cast<int>(recovered));
        return ScanOutcome{text, false};
    }
    if (result == kScanStopped)
        return std::nullopt;
    std::string reason =
        lastError.empty() ? "The recovery stopped before the end of the partition." : lastError;
    return ScanOutcome{reason + "\n\n" + recoveredBeforeStop(recovered), true};
}

}  // namespace salvora

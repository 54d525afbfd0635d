#include "recovery_app/core/scan_outcome.h"

#include <cstdio>

#include "carve/scan.h"
#include "recovery_app/core/messages.h"

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
    std::snprintf(text, sizeof text, "\n\n%u files were recovered before the recovery stopped.", recovered);
    return ScanOutcome{reason + text, true};
}

}  // namespace salvora

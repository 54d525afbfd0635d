#include "recovery_app/core/scan_start.h"

namespace salvora {

bool startRecovery(RecoveryWindow& window) {
    window.showRunning(true);
    std::string whyNot;
    if (window.startWorker(whyNot))
        return true;
    window.showRunning(false);
    window.showError("The recovery could not be started" +
                     (whyNot.empty() ? std::string(".") : ": " + whyNot));
    return false;
}

}  // namespace salvora

// Starting the worker of a recovery from the window, and what happens when
// the system cannot start it.
#pragma once

#include <string>

namespace salvora {

// The window's side of starting a recovery.
class RecoveryWindow {
  public:
    virtual ~RecoveryWindow() = default;
    // Shows the running state (elapsed time, disabled controls) or the idle one.
    virtual void showRunning(bool running) = 0;
    // Starts the scan's worker. False, with the system's reason in `whyNot`,
    // when it could not be started.
    virtual bool startWorker(std::string& whyNot) = 0;
    // Tells the user about a failure.
    virtual void showError(const std::string& text) = 0;
};

// Shows the window running and starts the worker. When the worker cannot be
// started, the window goes back to idle and the user is told why; nothing
// then marks a scan as running. Returns true when the worker runs.
bool startRecovery(RecoveryWindow& window);

}  // namespace salvora

#include "recovery_app/core/progress_throttle.h"

namespace salvora {

bool ProgressThrottle::shouldSend(int percent) {
    if (percent <= lastSent_)
        return false;
    lastSent_ = percent;
    return true;
}

}  // namespace salvora

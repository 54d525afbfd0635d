#include "recovery_app/core/elapsed_time.h"

#include <cstdio>

#include "recovery_app/core/messages.h"

namespace salvora {

ElapsedTime splitElapsed(uint32_t totalSeconds) {
    ElapsedTime time;
    time.hours = totalSeconds / 3600;
    time.minutes = totalSeconds % 3600 / 60;
    time.seconds = totalSeconds % 60;
    return time;
}

std::string elapsedTimeText(uint32_t totalSeconds) {
    const ElapsedTime time = splitElapsed(totalSeconds);
    char text[64];
    std::snprintf(text, sizeof text, messages::kElapsedTime, static_cast<int>(time.hours),
                  static_cast<int>(time.minutes), static_cast<int>(time.seconds));
    return text;
}

}  // namespace salvora

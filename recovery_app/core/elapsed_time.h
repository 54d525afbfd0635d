// The elapsed-time text shown while a recovery runs.
#pragma once

#include <cstdint>
#include <string>

namespace salvora {

struct ElapsedTime {
    uint32_t hours = 0;
    uint32_t minutes = 0;
    uint32_t seconds = 0;
};

// Splits a number of seconds into hours, minutes and seconds.
ElapsedTime splitElapsed(uint32_t totalSeconds);

// "%d Hr : %d Min : %d Sec" for the given number of seconds.
std::string elapsedTimeText(uint32_t totalSeconds);

}  // namespace salvora

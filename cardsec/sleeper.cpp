#include "cardsec/sleeper.h"

#include <chrono>
#include <thread>

namespace salvora::cardsec {

void ThreadSleeper::sleepMs(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace salvora::cardsec

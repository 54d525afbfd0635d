// Waiting, behind an interface so that tests and the simulator can run the
// command sequences without real time passing.
#pragma once

#include <cstdint>

namespace salvora::cardsec {

class Sleeper {
  public:
    virtual ~Sleeper() = default;
    // Blocks the calling thread for about `milliseconds`.
    virtual void sleepMs(uint32_t milliseconds) = 0;
};

// Sleeps for real.
class ThreadSleeper : public Sleeper {
  public:
    void sleepMs(uint32_t milliseconds) override;
};

}  // namespace salvora::cardsec

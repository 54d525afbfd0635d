// A simulated SD memory card: the password and lock state machine of the SD
// standard's LOCK_UNLOCK command (CMD42) and the card status of SEND_STATUS
// (CMD13), as the reader's SD slot passes them through.
#pragma once

#include <string>

#include "cardsec/sim_command_judge.h"
#include "cardsec/types.h"

namespace salvora::cardsec {

class SimSdCard {
  public:
    static constexpr size_t kMaxPasswordLength = 16;  // one password of the SD standard
    static constexpr uint8_t kTransferState = 4;

    std::string password;           // empty: no password set
    bool locked = false;            // CARD_IS_LOCKED
    bool lockUnlockFailed = false;  // LOCK_UNLOCK_FAILED, cleared when reported
    std::string contents = "data";  // what the card holds: "data", or "erased" after a forced erase
    int lockUnlockCommands = 0;     // CMD42 blocks this card has received

    // Power-up: a card with a password starts locked; error bits clear.
    void powerUp();

    // Answers one command the judge accepted for the SD slot: TEST UNIT
    // READY, SEND_STATUS (fills `data`) or LOCK_UNLOCK (reads `data`).
    TransportResult execute(SimCommand command, uint8_t* data);

  private:
    void fillStatus(uint8_t* answer);
    void lockUnlock(const uint8_t* block);
    bool setPassword(const std::string& given);
    bool matches(const std::string& given) const { return !password.empty() && given == password; }
};

}  // namespace salvora::cardsec

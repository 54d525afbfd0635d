// A simulated CompactFlash card: the ATA Security feature set state machine
// (disabled; enabled and unlocked until power-down; locked at power-up;
// frozen; the password attempt counter), SECURITY ERASE PREPARE / ERASE UNIT
// with the busy bit held for the erase time, IDENTIFY DEVICE (serial number,
// model, words 89 and 128), and the reader's vendor status read.
#pragma once

#include <cstdint>
#include <string>

#include "cardsec/sim_command_judge.h"
#include "cardsec/types.h"

namespace salvora::cardsec {

class SimCfCard {
  public:
    static constexpr int kPasswordAttempts = 5;
    static constexpr size_t kPasswordField = 32;

    std::string password;  // the 32-byte user password field; empty while security is disabled
    bool enabled = false;  // a user password is set
    bool locked = false;
    bool frozen = false;
    bool frozenAtPowerUp = false;  // the host freezes security at every power-up
    bool levelMax = false;
    bool enhancedErase = false;
    int attemptsLeft = kPasswordAttempts;
    bool prepared = false;          // the last command was SECURITY ERASE PREPARE
    uint8_t status = 0x50;          // ATA status register: DRDY | DSC
    uint8_t error = 0;              // ATA error register
    uint8_t eraseUnits = 1;         // IDENTIFY word 89: erase time in 2-minute units
    int64_t eraseMs = 3000;         // how long the simulated erase really keeps the card busy
    int64_t busyUntilMs = 0;        // end of a running erase, 0 when none
    bool stuckBusy = false;         // a fault: the card shows BSY and takes no command until cleared
    std::string serial;             // IDENTIFY words 10..19; every inserted card gets its own
    std::string contents = "data";  // "data", "erased", or "partly erased" after an interrupted erase
    int securityCommands = 0;       // security commands (0xF1..0xF6) this card has carried out

    // Sets a user password (security enabled) the way SET PASSWORD does.
    void setUserPassword(const std::string& text);

    // Power-up: a card with security enabled is locked, the attempt counter is
    // full again, freeze as the host decides, an interrupted erase is lost.
    void powerUp();

    // Completes a running erase whose time is over.
    void settle(int64_t nowMs);

    // True while the card holds BSY: a running erase or the stuck fault.
    bool busy(int64_t nowMs) const { return stuckBusy || (busyUntilMs != 0 && nowMs < busyUntilMs); }

    // Answers one command the judge accepted for the CF slot. While the card
    // is busy it answers only the status read (BSY), TEST UNIT READY and
    // IDENTIFY DEVICE (from what the reader knows of the card); other commands
    // are taken but never carried out.
    TransportResult execute(SimCommand command, uint8_t* data, int64_t nowMs);

    // IDENTIFY word 128 as the card reports it now.
    uint16_t securityWord() const;

    void identify(uint8_t* answer) const;

  private:
    bool runCommand(SimCommand command, const uint8_t* data, int64_t nowMs);
    bool unlock(const std::string& field);
    bool disablePassword(const std::string& field);
    bool eraseUnit(const std::string& field, int64_t nowMs);
    void finish(bool ok);
};

}  // namespace salvora::cardsec

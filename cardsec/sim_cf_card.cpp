#include "cardsec/sim_cf_card.h"

#include <algorithm>

namespace salvora::cardsec {

namespace {

constexpr TransportResult kGood{true, kScsiGood};
constexpr uint8_t kReady = 0x50;    // status register DRDY | DSC
constexpr uint8_t kBusy = 0x80;     // status register BSY
constexpr uint8_t kError = 0x01;    // status register ERR
constexpr uint8_t kAborted = 0x04;  // error register ABRT

void putWord(uint8_t* answer, int word, uint16_t value) {
    answer[2 * word] = static_cast<uint8_t>(value);
    answer[2 * word + 1] = static_cast<uint8_t>(value >> 8);
}

// ATA strings hold two characters per word, the first in the high byte.
void putString(uint8_t* answer, int firstWord, int words, const std::string& text) {
    for (int i = 0; i < 2 * words; ++i) {
        const char c = i < static_cast<int>(text.size()) ? text[i] : ' ';
        answer[2 * firstWord + (i ^ 1)] = static_cast<uint8_t>(c);
    }
}

std::string passwordField(const uint8_t* block) {
    return std::string(reinterpret_cast<const char*>(block + 2), SimCfCard::kPasswordField);
}

}  // namespace

void SimCfCard::setUserPassword(const std::string& text) {
    password.assign(kPasswordField, '\0');
    std::copy_n(text.begin(), std::min(text.size(), kPasswordField), password.begin());
    enabled = true;
}

void SimCfCard::powerUp() {
    if (busyUntilMs != 0)
        contents = "partly erased";
    busyUntilMs = 0;
    prepared = false;
    attemptsLeft = kPasswordAttempts;
    locked = enabled;
    frozen = frozenAtPowerUp && !locked;  // a locked device cannot be frozen
    status = kReady;
    error = 0;
}

void SimCfCard::settle(int64_t nowMs) {
    if (busyUntilMs == 0 || nowMs < busyUntilMs)
        return;
    busyUntilMs = 0;
    enabled = locked = false;
    password.clear();
    contents = "erased";
    finish(true);
}

uint16_t SimCfCard::securityWord() const {
    uint16_t word = 0x0001;
    if (enabled)
        word |= 0x0002;
    if (locked)
        word |= 0x0004;
    if (frozen)
        word |= 0x0008;
    if (attemptsLeft == 0)
        word |= 0x0010;
    if (enhancedErase)
        word |= 0x0020;
    if (enabled && levelMax)
        word |= 0x0100;
    return word;
}

void SimCfCard::identify(uint8_t* answer) const {
    std::fill(answer, answer + kDataBlockSize, 0);
    putWord(answer, 0, 0x848A);  // CompactFlash signature
    putString(answer, 10, 10, serial);
    putString(answer, 23, 4, "KV05");
    putString(answer, 27, 20, "Simulated CF card");
    putWord(answer, 60, 0x0000);
    putWord(answer, 61, 0x0004);  // 262144 sectors, 128 MiB
    putWord(answer, 82, 0x0002);  // security feature set supported
    putWord(answer, 89, eraseUnits);
    putWord(answer, 128, securityWord());
}

TransportResult SimCfCard::execute(SimCommand command, uint8_t* data, int64_t nowMs) {
    settle(nowMs);
    switch (command) {
        case SimCommand::kTestUnitReady:
            return kGood;
        case SimCommand::kAtaReadStatus:
            std::fill(data, data + kDataBlockSize, 0);
            data[1] = busy(nowMs) ? 0 : error;
            data[7] = busy(nowMs) ? kBusy : status;
            return kGood;
        case SimCommand::kAtaIdentifyDevice:
            identify(data);
            if (!busy(nowMs)) {
                prepared = false;  // ERASE UNIT must follow ERASE PREPARE at once
                finish(true);
            }
            return kGood;
        default:
            break;
    }
    if (busy(nowMs))
        return kGood;
    finish(runCommand(command, data, nowMs));
    return kGood;
}

bool SimCfCard::runCommand(SimCommand command, const uint8_t* data, int64_t nowMs) {
    const bool wasPrepared = prepared;
    prepared = false;
    ++securityCommands;
    switch (command) {
        case SimCommand::kAtaSetPassword:
            if (frozen || locked)
                return false;
            setUserPassword(passwordField(data));
            levelMax = (data[1] & 0x01) != 0;
            return true;
        case SimCommand::kAtaUnlock:
            return unlock(passwordField(data));
        case SimCommand::kAtaErasePrepare:
            prepared = !frozen;
            return prepared;
        case SimCommand::kAtaEraseUnit:
            return wasPrepared && eraseUnit(passwordField(data), nowMs);
        case SimCommand::kAtaDisablePassword:
            return disablePassword(passwordField(data));
        default:
            --securityCommands;
            return false;
    }
}

bool SimCfCard::unlock(const std::string& field) {
    if (frozen || !enabled || attemptsLeft == 0)
        return false;
    if (field != password) {
        --attemptsLeft;
        return false;
    }
    locked = false;
    return true;
}

bool SimCfCard::disablePassword(const std::string& field) {
    if (frozen || locked || !enabled || field != password)
        return false;
    enabled = false;
    password.clear();
    return true;
}

bool SimCfCard::eraseUnit(const std::string& field, int64_t nowMs) {
    if (frozen || !enabled || attemptsLeft == 0 || field != password)
        return false;
    busyUntilMs = nowMs + std::max<int64_t>(eraseMs, 1);
    return true;
}

void SimCfCard::finish(bool ok) {
    status = ok ? kReady : static_cast<uint8_t>(kReady | kError);
    error = ok ? 0 : kAborted;
}

}  // namespace salvora::cardsec

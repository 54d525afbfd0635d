#include "cardsec/sim_sd_card.h"

#include <algorithm>

namespace salvora::cardsec {

namespace {

// LOCK_UNLOCK flags of the SD standard.
constexpr uint8_t kSetPwd = 0x01, kClrPwd = 0x02, kLockUnlock = 0x04, kErase = 0x08;
constexpr TransportResult kGood{true, kScsiGood};

}  // namespace

void SimSdCard::powerUp() {
    locked = !password.empty();
    lockUnlockFailed = false;
}

TransportResult SimSdCard::execute(SimCommand command, uint8_t* data) {
    if (command == SimCommand::kSdSendStatus)
        fillStatus(data);
    if (command == SimCommand::kSdLockUnlock)
        lockUnlock(data);
    return kGood;
}

// The R1 card status, most significant byte first in bytes 1..4: bit 25
// CARD_IS_LOCKED, bit 24 LOCK_UNLOCK_FAILED, bits 12..9 CURRENT_STATE,
// bit 8 READY_FOR_DATA.
void SimSdCard::fillStatus(uint8_t* answer) {
    std::fill(answer, answer + kDataBlockSize, 0);
    uint32_t status = static_cast<uint32_t>(kTransferState) << 9 | 1u << 8;
    if (locked)
        status |= 1u << 25;
    if (lockUnlockFailed)
        status |= 1u << 24;
    answer[0] = 0x13;  // the command the answer belongs to, as the reader codes it
    for (int i = 0; i < 4; ++i)
        answer[1 + i] = static_cast<uint8_t>(status >> (24 - 8 * i));
    answer[5] = 0x01;          // end bit
    lockUnlockFailed = false;  // an error bit is cleared once it has been reported
}

bool SimSdCard::setPassword(const std::string& given) {
    // With a password set, the block carries the old password and then the new one.
    if (!password.empty() && given.compare(0, password.size(), password) != 0)
        return false;
    const std::string fresh = password.empty() ? given : given.substr(password.size());
    if (fresh.empty() || fresh.size() > kMaxPasswordLength)
        return false;
    password = fresh;
    return true;
}

void SimSdCard::lockUnlock(const uint8_t* block) {
    ++lockUnlockCommands;
    const uint8_t flags = block[0];
    const size_t length = std::min<size_t>(block[1], kDataBlockSize - 2);
    const std::string given(reinterpret_cast<const char*>(block + 2), length);
    bool ok = false;
    if (flags == kErase) {
        ok = locked;  // a forced erase is only for a locked card
        if (ok) {
            password.clear();
            locked = false;
            contents = "erased";
        }
    } else if (flags == (kSetPwd | kLockUnlock) || flags == kSetPwd) {
        ok = !locked && setPassword(given);
        if (ok && (flags & kLockUnlock))
            locked = true;
    } else if (flags == kClrPwd) {
        ok = matches(given);
        if (ok)
            password.clear(), locked = false;
    } else if (flags == kLockUnlock) {
        ok = matches(given);
        if (ok)
            locked = true;
    } else if (flags == 0) {
        ok = matches(given);
        if (ok)
            locked = false;
    }
    lockUnlockFailed = !ok;
}

}  // namespace salvora::cardsec

#include "cardsec/sim_sd_card.h"

#include <algorithm>

#include "cardsec/sd_commands.h"

namespace salvora::cardsec {

namespace {

constexpr uint8_t kSetPwd = 0x01, kClrPwd = 0x02, kLockUnlock = 0x04, kErase = 0x08;
constexpr TransportResult kGood{true, kScsiGood};
constexpr TransportResult kRefused{true, kScsiCheckCondition};

}  // namespace

void SimSdCard::powerUp() {
    locked = !password.empty();
    lockUnlockFailed = false;
}

TransportResult SimSdCard::execute(const Cdb& cdb, Direction direction, uint8_t* data) {
    if (cdb[0] == 0x00)
        return kGood;  // TEST UNIT READY
    if (cdb[0] != 0xF5 || !data)
        return kRefused;
    if (cdb[1] == kSdSendStatus && direction == Direction::kDataIn) {
        fillStatus(data);
        return kGood;
    }
    if (cdb[1] == kSdLockUnlock && direction == Direction::kDataOut) {
        lockUnlock(data);
        return kGood;
    }
    return kRefused;
}

void SimSdCard::fillStatus(uint8_t* answer) {
    std::fill(answer, answer + kDataBlockSize, 0);
    uint32_t status = static_cast<uint32_t>(kTransferState) << 9 | 1u << 8;  // tran, READY_FOR_DATA
    if (locked)
        status |= 1u << 25;
    if (lockUnlockFailed)
        status |= 1u << 24;
    answer[0] = kSdSendStatus;
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

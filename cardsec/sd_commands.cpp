#include "cardsec/sd_commands.h"

#include <algorithm>

#include "cardsec/messages.h"
#include "media/bytes.h"

namespace salvora::cardsec {

namespace {

uint8_t operationFlags(SdOperation operation) {
    switch (operation) {
        case SdOperation::kLock:
            return 0x05;  // SET_PWD | LOCK_UNLOCK
        case SdOperation::kUnlock:
            return 0x00;
        case SdOperation::kRemovePassword:
            return 0x02;  // CLR_PWD
        case SdOperation::kForcedErase:
            return 0x08;  // ERASE
    }
    return 0;
}

void markRequest(SdState& state, SdOperation operation) {
    state.m_bSdLockRequested = operation == SdOperation::kLock;
    state.m_bSdUnlockRequested = operation == SdOperation::kUnlock;
    state.m_bSdRemoveRequested = operation == SdOperation::kRemovePassword;
    state.m_bSdEraseRequested = operation == SdOperation::kForcedErase;
}

// Reports a request that no answer confirmed, and clears it.
void failIfPending(bool& request, const char* failureText, SdStatusReport& report) {
    if (!request)
        return;
    report.messages.push_back(failureMessage(failureText));
    request = false;
}

// A lock is confirmed by CARD_IS_LOCKED only when the card did not flag the
// command as failed: a card that was locked already refuses a new password.
void decideLocked(SdState& state, const SdCardStatus& status, bool canConfirm, SdStatusReport& report) {
    state.m_bSdLocked = true;
    report.text = text::kSecurityEnabled;
    if (state.m_bSdLockRequested && canConfirm && !status.lockUnlockFailed) {
        report.messages.push_back(successMessage(text::kSdLocked));
        state.m_bSdLockRequested = false;
    }
    failIfPending(state.m_bSdEraseRequested, text::kSdEraseFailed, report);
}

void confirmUnlockedRequest(SdState& state, SdStatusReport& report) {
    if (state.m_bSdUnlockRequested) {
        state.m_bSdTempUnlocked = true;
        state.m_bSdUnlockRequested = false;
        report.messages.push_back(successMessage(text::kSdUnlocked));
    } else if (state.m_bSdRemoveRequested) {
        state.m_bSdTempUnlocked = false;
        state.m_bSdRemoveRequested = false;
        report.messages.push_back(successMessage(text::kSdRemoved));
    } else if (state.m_bSdEraseRequested) {
        state.m_bSdTempUnlocked = false;
        state.m_bSdEraseRequested = false;
        report.messages.push_back(successMessage(text::kSdErased));
    }
}

void decideUnlocked(SdState& state, const SdCardStatus& status, bool canConfirm, SdStatusReport& report) {
    state.m_bSdLocked = false;
    if (!status.lockUnlockFailed && canConfirm)
        confirmUnlockedRequest(state, report);
    failIfPending(state.m_bSdLockRequested, text::kSdLockFailed, report);
    report.text = state.m_bSdTempUnlocked ? text::kSecurityEnabled : text::kSdSecurityDisabled;
}

}  // namespace

void SdState::clearFiveFlags() {
    m_bSdTempUnlocked = false;
    m_bSdLockRequested = m_bSdUnlockRequested = m_bSdRemoveRequested = m_bSdEraseRequested = false;
}

bool SdState::anyRequestPending() const {
    return m_bSdLockRequested || m_bSdUnlockRequested || m_bSdRemoveRequested || m_bSdEraseRequested;
}

Cdb sdCommandBlock(uint8_t code) {
    Cdb cdb{};
    cdb[0] = 0xF5;
    cdb[1] = code;
    cdb[11] = 1;
    return cdb;
}

DataBlock sdLockUnlockBlock(SdOperation operation, const std::string& password) {
    DataBlock block{};
    block[0] = operationFlags(operation);
    if (operation == SdOperation::kForcedErase)
        return block;
    const size_t length = std::min<size_t>(password.size(), 255);
    block[1] = static_cast<uint8_t>(length);
    std::copy_n(password.begin(), length, block.begin() + 2);
    return block;
}

SdCardStatus decodeSdStatus(const DataBlock& answer) {
    const Bytes bytes(answer.data(), answer.size());
    SdCardStatus status;
    status.cardIsLocked = (bytes.u8(1) & 0x02) != 0;
    status.lockUnlockFailed = (bytes.u8(1) & 0x01) != 0;
    status.currentState = static_cast<uint8_t>((bytes.u8(3) >> 1) & 0x0F);
    return status;
}

SdStatusReport decideSdStatus(SdState& state, const SdCardStatus& given, bool answered) {
    const SdCardStatus status = answered ? given : SdCardStatus{};
    const bool canConfirm = answered && status.currentState != 0;
    SdStatusReport report;
    report.answered = canConfirm;
    if (status.cardIsLocked) {
        decideLocked(state, status, canConfirm, report);
    } else {
        decideUnlocked(state, status, canConfirm, report);
    }
    if (status.lockUnlockFailed) {
        failIfPending(state.m_bSdUnlockRequested, text::kSdUnlockFailed, report);
        failIfPending(state.m_bSdRemoveRequested, text::kSdRemoveFailed, report);
    }
    if (status.currentState == 0)
        report.text = text::kSdIdle;
    // Whatever the answer, no request stays open without a result.
    failIfPending(state.m_bSdLockRequested, text::kSdLockFailed, report);
    failIfPending(state.m_bSdUnlockRequested, text::kSdUnlockFailed, report);
    failIfPending(state.m_bSdRemoveRequested, text::kSdRemoveFailed, report);
    failIfPending(state.m_bSdEraseRequested, text::kSdEraseFailed, report);
    report.locked = state.m_bSdLocked;
    report.tempUnlocked = state.m_bSdTempUnlocked;
    return report;
}

std::vector<ResultMessage> failPendingRequests(SdState& state) {
    SdStatusReport report;
    failIfPending(state.m_bSdLockRequested, text::kSdLockFailed, report);
    failIfPending(state.m_bSdUnlockRequested, text::kSdUnlockFailed, report);
    failIfPending(state.m_bSdRemoveRequested, text::kSdRemoveFailed, report);
    failIfPending(state.m_bSdEraseRequested, text::kSdEraseFailed, report);
    return report.messages;
}

SdStatusReport ReadSdStatus(ReaderTransport& transport, SlotHandle handle, SdState& state) {
    if (handle == kInvalidSlot) {
        SdStatusReport report;
        report.text = text::kNoSdSlot;
        report.locked = state.m_bSdLocked;
        report.tempUnlocked = state.m_bSdTempUnlocked;
        return report;
    }
    DataBlock answer{};
    const PassThroughResult result =
        SendPassThrough(transport, handle, answer.data(), sdCommandBlock(kSdSendStatus), Direction::kDataIn);
    std::vector<ResultMessage> failed;
    if (result.mediumChanged) {
        failed = failPendingRequests(state);
        state.clearFiveFlags();
    }
    SdStatusReport report = decideSdStatus(state, decodeSdStatus(answer), result.answered());
    report.messages.insert(report.messages.begin(), failed.begin(), failed.end());
    report.mediumChanged = result.mediumChanged;
    return report;
}

PassThroughResult SendSdLockUnlock(ReaderTransport& transport, SlotHandle handle, SdState& state,
                                   SdOperation operation, const std::string& password) {
    markRequest(state, operation);
    DataBlock block = sdLockUnlockBlock(operation, password);
    return SendPassThrough(transport, handle, block.data(), sdCommandBlock(kSdLockUnlock),
                           Direction::kDataOut);
}

}  // namespace salvora::cardsec

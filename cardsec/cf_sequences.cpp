#include "cardsec/cf_sequences.h"

#include "cardsec/messages.h"

namespace salvora::cardsec {

namespace {

constexpr uint32_t kSettleMs = 100;

// Sends `code` (with the password block for data-out commands), sleeps
// `settleMs` when non-zero, then waits for the card.
bool runStep(ReaderTransport& transport, SlotHandle handle, uint8_t code, const std::string& password,
             uint32_t settleMs, Sleeper& sleeper) {
    DataBlock block = ataPasswordBlock(password);
    uint8_t* data = ataDirection(code) == Direction::kNoData ? nullptr : block.data();
    const PassThroughResult sent = SendAtaCommand(transport, handle, code, data);
    if (settleMs)
        sleeper.sleepMs(settleMs);
    const bool ready = WaitAtaReady(transport, handle, sleeper);
    return sent.delivered && ready;
}

CfOperationResult succeeded(const char* text) {
    return {true, successMessage(text)};
}
CfOperationResult failed(const char* text) {
    return {false, failureMessage(text)};
}

}  // namespace

CfOperationResult runCfSetPassword(ReaderTransport& transport, SlotHandle handle, const std::string& password,
                                   Sleeper& sleeper) {
    if (!runStep(transport, handle, kAtaSecuritySetPassword, password, 0, sleeper)) {
        return failed(text::kCfSetPasswordFailed);
    }
    return succeeded(text::kCfPasswordSet);
}

CfOperationResult runCfUnlock(ReaderTransport& transport, SlotHandle handle, const std::string& password,
                              Sleeper& sleeper) {
    if (!runStep(transport, handle, kAtaSecurityUnlock, password, kSettleMs, sleeper)) {
        return failed(text::kCfUnlockFailed);
    }
    return succeeded(text::kCfUnlocked);
}

CfOperationResult runCfRemovePassword(ReaderTransport& transport, SlotHandle handle,
                                      const std::string& password, bool securityEnabled, Sleeper& sleeper,
                                      const CfStageObserver& stage) {
    const uint32_t settle = securityEnabled ? kSettleMs : 0;
    if (!runStep(transport, handle, kAtaSecurityUnlock, password, settle, sleeper)) {
        return failed(text::kCfRemoveFailed);
    }
    if (stage)
        stage(CfStage::kDisablingPassword);
    if (!runStep(transport, handle, kAtaSecurityDisablePassword, password, 0, sleeper)) {
        return failed(text::kCfRemoveFailed);
    }
    return succeeded(text::kCfRemoved);
}

CfOperationResult runCfErase(ReaderTransport& transport, SlotHandle handle, const std::string& password,
                             bool securityEnabled, Sleeper& sleeper, const CfStageObserver& stage) {
    if (!runStep(transport, handle, kAtaSecurityErasePrepare, password, 0, sleeper)) {
        return failed(text::kCfPrepareFailed);
    }
    if (stage)
        stage(CfStage::kErasing);
    const uint32_t settle = securityEnabled ? kSettleMs : 0;
    if (!runStep(transport, handle, kAtaSecurityEraseUnit, password, settle, sleeper)) {
        return failed(text::kCfEraseFailed);
    }
    if (settle)
        sleeper.sleepMs(settle);
    return succeeded(text::kCfErased);
}

}  // namespace salvora::cardsec

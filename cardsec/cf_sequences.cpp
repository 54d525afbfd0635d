#include "cardsec/cf_sequences.h"

#include "cardsec/messages.h"

namespace salvora::cardsec {

namespace {

constexpr uint32_t kSettleMs = 100;

enum class StepOutcome { kDone, kFailed, kTimedOut };

// Sends `code` (with the password block for data-out commands), sleeps
// `settleMs` when non-zero, then waits for the card at most `limitMs`.
StepOutcome runStep(ReaderTransport& transport, SlotHandle handle, uint8_t code, const std::string& password,
                    uint32_t settleMs, uint32_t limitMs, Sleeper& sleeper) {
    DataBlock block = ataPasswordBlock(password);
    uint8_t* data = ataDirection(code) == Direction::kNoData ? nullptr : block.data();
    const PassThroughResult sent = SendAtaCommand(transport, handle, code, data);
    if (settleMs)
        sleeper.sleepMs(settleMs);
    const AtaWait wait = WaitAtaReady(transport, handle, sleeper, limitMs);
    if (wait == AtaWait::kTimedOut)
        return StepOutcome::kTimedOut;
    return sent.answered() && wait == AtaWait::kReady ? StepOutcome::kDone : StepOutcome::kFailed;
}

CfOperationResult succeeded(const char* text) {
    return {true, false, successMessage(text)};
}
CfOperationResult failed(const char* text) {
    return {false, false, failureMessage(text)};
}
CfOperationResult failedStep(StepOutcome outcome, const char* text) {
    return failed(outcome == StepOutcome::kTimedOut ? text::kCardDidNotAnswer : text);
}

const char* failureText(CfOperation operation) {
    switch (operation) {
        case CfOperation::kSetPassword:
            return text::kCfSetPasswordFailed;
        case CfOperation::kUnlock:
            return text::kCfUnlockFailed;
        case CfOperation::kRemovePassword:
            return text::kCfRemoveFailed;
        case CfOperation::kErase:
            return text::kCfEraseFailed;
    }
    return text::kCfUnlockFailed;
}

bool showsTheResultOf(CfOperation operation, const CfSecurityReport& card) {
    if (!card.identified || !card.supported)
        return false;
    switch (operation) {
        case CfOperation::kSetPassword:
            return card.enabled;
        case CfOperation::kUnlock:
            return !card.locked;
        case CfOperation::kRemovePassword:
        case CfOperation::kErase:
            return !card.enabled;
    }
    return false;
}

// IDENTIFY DEVICE and its wait; `identify` holds the answer.
CfSecurityReport identifyCard(ReaderTransport& transport, SlotHandle handle, DataBlock& identify,
                              Sleeper& sleeper) {
    CfState ignored;
    return ReadCfSecurityStatus(transport, handle, identify, ignored, sleeper, kCommandWaitMs);
}

CfOperationResult runSequence(ReaderTransport& transport, SlotHandle handle, const CfRequest& request,
                              Sleeper& sleeper, const CfStageObserver& stage) {
    switch (request.operation) {
        case CfOperation::kSetPassword:
            return runCfSetPassword(transport, handle, request.password, sleeper);
        case CfOperation::kUnlock:
            return runCfUnlock(transport, handle, request.password, sleeper);
        case CfOperation::kRemovePassword:
            return runCfRemovePassword(transport, handle, request.password, request.securityEnabled, sleeper,
                                       stage);
        case CfOperation::kErase:
            break;
    }
    return runCfErase(transport, handle, request.password, request.securityEnabled, request.eraseTimeByte,
                      sleeper, stage);
}

}  // namespace

CfOperationResult runCfSetPassword(ReaderTransport& transport, SlotHandle handle, const std::string& password,
                                   Sleeper& sleeper) {
    const StepOutcome step =
        runStep(transport, handle, kAtaSecuritySetPassword, password, 0, kCommandWaitMs, sleeper);
    if (step != StepOutcome::kDone)
        return failedStep(step, text::kCfSetPasswordFailed);
    return succeeded(text::kCfPasswordSet);
}

CfOperationResult runCfUnlock(ReaderTransport& transport, SlotHandle handle, const std::string& password,
                              Sleeper& sleeper) {
    const StepOutcome step =
        runStep(transport, handle, kAtaSecurityUnlock, password, kSettleMs, kCommandWaitMs, sleeper);
    if (step != StepOutcome::kDone)
        return failedStep(step, text::kCfUnlockFailed);
    return succeeded(text::kCfUnlocked);
}

CfOperationResult runCfRemovePassword(ReaderTransport& transport, SlotHandle handle,
                                      const std::string& password, bool securityEnabled, Sleeper& sleeper,
                                      const CfStageObserver& stage) {
    const uint32_t settle = securityEnabled ? kSettleMs : 0;
    StepOutcome step =
        runStep(transport, handle, kAtaSecurityUnlock, password, settle, kCommandWaitMs, sleeper);
    if (step != StepOutcome::kDone)
        return failedStep(step, text::kCfRemoveFailed);
    if (stage)
        stage(CfStage::kDisablingPassword);
    step = runStep(transport, handle, kAtaSecurityDisablePassword, password, 0, kCommandWaitMs, sleeper);
    if (step != StepOutcome::kDone)
        return failedStep(step, text::kCfRemoveFailed);
    return succeeded(text::kCfRemoved);
}

CfOperationResult runCfErase(ReaderTransport& transport, SlotHandle handle, const std::string& password,
                             bool securityEnabled, uint8_t eraseTimeByte, Sleeper& sleeper,
                             const CfStageObserver& stage) {
    StepOutcome step =
        runStep(transport, handle, kAtaSecurityErasePrepare, password, 0, kCommandWaitMs, sleeper);
    if (step != StepOutcome::kDone)
        return failedStep(step, text::kCfPrepareFailed);
    if (stage)
        stage(CfStage::kErasing);
    const uint32_t settle = securityEnabled ? kSettleMs : 0;
    step = runStep(transport, handle, kAtaSecurityEraseUnit, password, settle,
                   eraseWaitLimitMs(eraseTimeByte), sleeper);
    if (step != StepOutcome::kDone)
        return failedStep(step, text::kCfEraseFailed);
    if (settle)
        sleeper.sleepMs(settle);
    return succeeded(text::kCfErased);
}

CfOperationResult runCfOperation(ReaderTransport& transport, SlotHandle handle, const CfRequest& request,
                                 Sleeper& sleeper, const CfStageObserver& stage) {
    const char* failure = failureText(request.operation);
    DataBlock identify{};
    const CfSecurityReport before = identifyCard(transport, handle, identify, sleeper);
    if (before.timedOut)
        return failed(text::kCardDidNotAnswer);
    const bool sameCard =
        before.identified && !before.mediumChanged && cfCardIdentity(identify) == request.card;
    if (!sameCard)
        return {false, true, failureMessage(text::kCfCardChanged)};
    CfOperationResult result = runSequence(transport, handle, request, sleeper, stage);
    if (!result.succeeded)
        return result;
    const CfSecurityReport after = identifyCard(transport, handle, identify, sleeper);
    if (after.timedOut)
        return failed(text::kCardDidNotAnswer);
    if (cfCardIdentity(identify) != request.card || !showsTheResultOf(request.operation, after))
        return failed(failure);
    return result;
}

}  // namespace salvora::cardsec

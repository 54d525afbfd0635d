// The worker procedures of the Lock, Disable Password and Erase operations:
// the order of their progress texts, commands, waits and result messages.
#include "cardprotect_app/core/app_texts.h"
#include "cardprotect_app/core/cardwarden_model.h"
#include "cardsec/cf_sequences.h"
#include "cardsec/messages.h"

namespace salvora::cardprotect {

using namespace cardsec;

namespace {

constexpr uint32_t kSdSettleMs = 1000;

const char* sdProgressText(SdOperation operation) {
    switch (operation) {
        case SdOperation::kUnlock:
            return text::kUnlockingSd;
        case SdOperation::kLock:
            return text::kLockingSd;
        case SdOperation::kRemovePassword:
            return text::kRemovingSd;
        case SdOperation::kForcedErase:
            return text::kErasingSd;
    }
    return "";
}

// Success only when a success message was shown and no failure was.
Outcome outcomeOf(const std::vector<ResultMessage>& messages) {
    bool success = false;
    for (const ResultMessage& message : messages) {
        if (message.caption != cardsec::text::kSuccess)
            return Outcome::kFailed;
        success = true;
    }
    return success ? Outcome::kSucceeded : Outcome::kFailed;
}

}  // namespace

OperationResult CardwardenModel::runWorker(WorkerKind kind, const PasswordBuffer& password) {
    OperationResult result;
    workerRunning_ = true;
    if (!commonStart(result, kind == WorkerKind::kErase))
        return result;
    if (cardType_ == CardType::kSd) {
        runSdWorker(kind, password.text(), result);
    } else {
        runCfWorker(kind, password.text(), result);
    }
    commonEnd();
    return result;
}

bool CardwardenModel::commonStart(OperationResult& result, bool confirmErase) {
    applyCardMode(-1);
    view_.sdSelector.enabled = view_.cfSelector.enabled = false;
    notify();
    const int selected = static_cast<int>(cardType_);
    if (confirmErase) {
        const ResultMessage question{text::kEraseConfirmation, cardsec::text::kConfirmation,
                                     MessageIcon::kExclamation};
        if (!ui_.askYesNo(question)) {
            result.outcome = Outcome::kCancelled;
            ui_.runOnWindowThread([this, selected] { securityDone(selected); });
            return false;
        }
    }
    const bool sd = cardType_ == CardType::kSd;
    const SlotHandle handle = sd ? context_.m_hSdSlot : context_.m_hCfSlot;
    if (cardType_ == CardType::kNone || handle == kInvalidSlot) {
        const ResultMessage message{sd ? cardsec::text::kNoSdSlot : cardsec::text::kNoCfSlot,
                                    cardsec::text::kError, MessageIcon::kInformation};
        showMessages({message}, &result);
        result.outcome = Outcome::kSlotUnavailable;
        ui_.runOnWindowThread([this, selected] { securityDone(selected); });
        return false;
    }
    return true;
}

// The caption is refreshed on the window thread too: once the completion has
// run, the poll may run again and the worker must not touch the view.
void CardwardenModel::commonEnd() {
    ui_.runOnWindowThread([this] {
        securityDone(-1);
        refreshLockCaption();
        notify();
    });
}

void CardwardenModel::runSdWorker(WorkerKind kind, const std::string& password, OperationResult& result) {
    SdOperation operation = SdOperation::kForcedErase;
    if (kind == WorkerKind::kLock)
        operation = sd_.m_bSdLocked ? SdOperation::kUnlock : SdOperation::kLock;
    if (kind == WorkerKind::kRemove)
        operation = SdOperation::kRemovePassword;
    setInfoLine(sdProgressText(operation));
    SendSdLockUnlock(transport_, context_.m_hSdSlot, sd_, operation,
                     operation == SdOperation::kForcedErase ? std::string() : password);
    sleeper_.sleepMs(kSdSettleMs);
    const SdStatusReport report = ReadSdStatus(transport_, context_.m_hSdSlot, sd_);
    applySdReport(report);
    result.messages.insert(result.messages.end(), report.messages.begin(), report.messages.end());
    result.outcome = outcomeOf(result.messages);
    if (options_.win2000)
        ProbeCardPresence(transport_, context_.m_hSdSlot);
    setInfoLine(report.text);
    view_.statusDisplay = status_;
    notify();
}

void CardwardenModel::runCfWorker(WorkerKind kind, const std::string& password, OperationResult& result) {
    const SlotHandle handle = context_.m_hCfSlot;
    const bool enabled = cf_.m_bCfSecurityEnabled;
    const CfStageObserver stage = [this](CfStage next) {
        setInfoLine(next == CfStage::kErasing ? text::kErasingCf : text::kRemovingCf);
        notify();
    };
    CfOperationResult outcome;
    if (kind == WorkerKind::kLock) {
        setInfoLine(enabled ? text::kUnlockingCf : text::kLockingCf);
        notify();
        outcome = enabled ? runCfUnlock(transport_, handle, password, sleeper_)
                          : runCfSetPassword(transport_, handle, password, sleeper_);
    } else if (kind == WorkerKind::kRemove) {
        setInfoLine(text::kUnlockingCf);
        notify();
        outcome = runCfRemovePassword(transport_, handle, password, enabled, sleeper_, stage);
    } else {
        setInfoLine(text::kPreparingEraseCf);
        notify();
        outcome = runCfErase(transport_, handle, password, enabled, sleeper_, stage);
    }
    finishCf(outcome, result);
}

void CardwardenModel::finishCf(const CfOperationResult& outcome, OperationResult& result) {
    cf_.m_bCfRescan = true;
    showMessages({outcome.message}, &result);
    result.outcome = outcome.succeeded ? Outcome::kSucceeded : Outcome::kFailed;
}

}  // namespace salvora::cardprotect

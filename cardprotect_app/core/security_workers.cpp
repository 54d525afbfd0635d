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

CfOperation cfOperationOf(WorkerKind kind, bool securityEnabled) {
    switch (kind) {
        case WorkerKind::kLock:
            return securityEnabled ? CfOperation::kUnlock : CfOperation::kSetPassword;
        case WorkerKind::kRemove:
            return CfOperation::kRemovePassword;
        case WorkerKind::kErase:
            break;
    }
    return CfOperation::kErase;
}

const char* cfProgressText(CfOperation operation) {
    switch (operation) {
        case CfOperation::kSetPassword:
            return text::kLockingCf;
        case CfOperation::kUnlock:
        case CfOperation::kRemovePassword:
            return text::kUnlockingCf;
        case CfOperation::kErase:
            break;
    }
    return text::kPreparingEraseCf;
}

}  // namespace

// The reader is held from the first command to the last; the erase question
// comes before, so that no other program waits while it is open.
OperationResult CardwardenModel::runWorker(WorkerKind kind, const PasswordBuffer& password) {
    OperationResult result;
    workerRunning_ = true;
    {
        const bool confirmErase = kind == WorkerKind::kErase;
        std::optional<ReaderHold> hold;
        if (!commonStart(result, confirmErase, hold))
            return result;
        if (cardType_ == CardType::kSd) {
            runSdWorker(kind, password.text(), result);
        } else {
            runCfWorker(kind, password.text(), result);
        }
    }
    commonEnd();
    return result;
}

bool CardwardenModel::commonStart(OperationResult& result, bool confirmErase,
                                  std::optional<ReaderHold>& hold) {
    applyCardMode(CardMode::kAllDisabled);
    view_.sdSelector.enabled = view_.cfSelector.enabled = false;
    notify();
    if (confirmErase) {
        const ResultMessage question{text::kEraseConfirmation, cardsec::text::kConfirmation,
                                     MessageIcon::kExclamation};
        if (!ui_.askYesNo(question)) {
            result.outcome = Outcome::kCancelled;
            const CardType selected = cardType_;
            ui_.runOnWindowThread([this, selected] { securityDone(selected); });
            return false;
        }
    }
    const bool sd = cardType_ == CardType::kSd;
    const SlotHandle handle = sd ? context_.m_hSdSlot : context_.m_hCfSlot;
    if (cardType_ == CardType::kNone || handle == kInvalidSlot) {
        abandon(result,
                {sd ? cardsec::text::kNoSdSlot : cardsec::text::kNoCfSlot, cardsec::text::kError,
                 MessageIcon::kInformation},
                Outcome::kSlotUnavailable);
        return false;
    }
    hold.emplace(transport_, kWorkerHoldWaitMs);
    if (!hold->held()) {
        abandon(result, {text::kReaderBusy, cardsec::text::kError, MessageIcon::kInformation},
                Outcome::kReaderBusy);
        return false;
    }
    return true;
}

// Shows why the operation did not start and hands its end to the window.
void CardwardenModel::abandon(OperationResult& result, const ResultMessage& message, Outcome outcome) {
    showMessages({message}, &result);
    result.outcome = outcome;
    const CardType selected = cardType_;
    ui_.runOnWindowThread([this, selected] { securityDone(selected); });
}

// The caption is refreshed on the window thread too: once the completion has
// run, the poll may run again and the worker must not touch the view.
void CardwardenModel::commonEnd() {
    ui_.runOnWindowThread([this] {
        securityDone(CardType::kNone);
        refreshLockCaption();
        notify();
    });
}

// The SD card in the slot is the one the operation was chosen for: present,
// and neither taken out nor put back since (the reader reports a card put in
// with a unit attention, which the probe turns into kChanged).
bool CardwardenModel::sameSdCard() {
    const CardPresence presence = ProbeCardPresence(transport_, context_.m_hSdSlot);
    if (presence == CardPresence::kAbsent || presence == CardPresence::kChanged)
        ++sdChanges_;
    return presence == CardPresence::kPresent && sdChanges_ == sdChangesAtChoice_;
}

void CardwardenModel::runSdWorker(WorkerKind kind, const std::string& password, OperationResult& result) {
    SdOperation operation = SdOperation::kForcedErase;
    if (kind == WorkerKind::kLock)
        operation = sd_.m_bSdLocked ? SdOperation::kUnlock : SdOperation::kLock;
    if (kind == WorkerKind::kRemove)
        operation = SdOperation::kRemovePassword;
    setInfoLine(sdProgressText(operation));
    if (!sameSdCard()) {
        showMessages({failureMessage(cardsec::text::kSdCardChanged)}, &result);
        result.outcome = Outcome::kCardChanged;
        sdRescan_ = true;
        return;
    }
    const PassThroughResult sent =
        SendSdLockUnlock(transport_, context_.m_hSdSlot, sd_, operation,
                         operation == SdOperation::kForcedErase ? std::string() : password);
    if (sent.answered()) {
        sleeper_.sleepMs(kSdSettleMs);
    } else {
        showMessages(failPendingRequests(sd_), &result);  // the reader refused it: the card never saw it
    }
    const SdStatusReport report = ReadSdStatus(transport_, context_.m_hSdSlot, sd_);
    if (report.mediumChanged)
        ++sdChanges_;
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
    CfRequest request;
    request.operation = cfOperationOf(kind, cf_.m_bCfSecurityEnabled);
    request.password = password;
    request.securityEnabled = cf_.m_bCfSecurityEnabled;
    request.card = cfCard_;
    request.eraseTimeByte = cfReport_.eraseTimeByte;
    const CfStageObserver stage = [this](CfStage next) {
        setInfoLine(next == CfStage::kErasing ? text::kErasingCf : text::kRemovingCf);
        notify();
    };
    setInfoLine(cfProgressText(request.operation));
    notify();
    finishCf(runCfOperation(transport_, context_.m_hCfSlot, request, sleeper_, stage), result);
}

void CardwardenModel::finishCf(const CfOperationResult& outcome, OperationResult& result) {
    cf_.m_bCfRescan = true;
    showMessages({outcome.message}, &result);
    result.outcome = outcome.succeeded ? Outcome::kSucceeded : Outcome::kFailed;
    if (outcome.cardChanged)
        result.outcome = Outcome::kCardChanged;
}

}  // namespace salvora::cardprotect

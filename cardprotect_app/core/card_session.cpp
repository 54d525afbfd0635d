#include "cardprotect_app/core/card_session.h"

#include "cardprotect_app/core/app_texts.h"

namespace salvora::cardprotect {

SlotState openSlot(CardwardenModel& model, CardType cardType) {
    model.initialise();
    if (!model.readerBusy())
        model.poll();
    if (model.readerBusy())
        return SlotState::kBusy;
    if (!model.readerFound())
        return SlotState::kNoReader;
    const ViewState& view = model.view();
    const bool present = cardType == CardType::kSd ? view.sdSelector.enabled : view.cfSelector.enabled;
    if (!present)
        return SlotState::kNoCard;
    if (model.cardType() != cardType) {
        if (cardType == CardType::kSd) {
            model.selectSd();
        } else {
            model.selectCf();
        }
    }
    model.poll();
    if (model.readerBusy())
        return SlotState::kBusy;
    if (model.cardType() != cardType)
        return SlotState::kNoCard;  // removed meanwhile
    if (cardType == CardType::kCf && model.cfLastRead().timedOut)
        return SlotState::kNoAnswer;
    return SlotState::kReady;
}

bool actionAvailable(const ViewState& view, Action action) {
    switch (action) {
        case Action::kLock:
            return view.lock.enabled && view.lockCaption == text::kCaptionLock;
        case Action::kUnlock:
            return view.lock.enabled && view.lockCaption == text::kCaptionUnlock;
        case Action::kRemovePassword:
            return view.remove.enabled;
        case Action::kErase:
            return view.erase.enabled;
    }
    return false;
}

std::string actionName(Action action) {
    switch (action) {
        case Action::kLock:
            return "Lock";
        case Action::kUnlock:
            return "Unlock";
        case Action::kRemovePassword:
            return "Disable Password";
        case Action::kErase:
            return "Erase";
    }
    return "";
}

namespace {

PanelSettings press(CardwardenModel& model, Action action) {
    switch (action) {
        case Action::kLock:
        case Action::kUnlock:
            return model.lockPressed();
        case Action::kRemovePassword:
            return model.removePressed();
        case Action::kErase:
            break;
    }
    return model.erasePressed();
}

}  // namespace

ActionReport runAction(CardwardenModel& model, WorkflowUi& ui, Action action, int attempts) {
    ActionReport report;
    if (!actionAvailable(model.view(), action))
        return report;
    const PanelSettings settings = press(model, action);
    if (!settings.usesPanel) {
        report.status = ActionStatus::kRan;
        report.result = model.runWorker(settings.worker, PasswordBuffer());
        return report;
    }
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const std::optional<PasswordEntry> entry = ui.askPassword(settings);
        if (!entry)
            break;
        const PanelResult panel = acceptPassword(settings, *entry, ui);
        if (panel.verdict == PanelVerdict::kDeclined) {
            model.panelDeclined();
            report.status = ActionStatus::kRan;
            report.result.outcome = Outcome::kCancelled;
            return report;
        }
        if (panel.verdict != PanelVerdict::kAccepted)
            continue;
        report.status = ActionStatus::kRan;
        report.result = model.runWorker(settings.worker, panel.password);
        return report;
    }
    model.securityDone(settings.cardType);
    report.status = ActionStatus::kAbandoned;
    return report;
}

}  // namespace salvora::cardprotect

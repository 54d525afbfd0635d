#include "cardprotect_app/cli/card_commands.h"

#include <cstdio>

#include "cardprotect_app/cli/exit_codes.h"
#include "cardprotect_app/core/app_texts.h"
#include "cardprotect_app/core/card_session.h"
#include "cardsec/messages.h"

namespace salvora::lockwright {

using namespace cardprotect;

namespace {

// How long a command waits for another program to let go of the reader.
constexpr uint32_t kCommandHoldWaitMs = 15000;

CardType cardTypeOf(const std::string& slot) {
    return slot == "cf" ? CardType::kCf : CardType::kSd;
}
const char* cardName(CardType type) {
    return type == CardType::kCf ? "CF" : "SD";
}

std::string commandName(Action action) {
    switch (action) {
        case Action::kLock:
            return "lock";
        case Action::kUnlock:
            return "unlock";
        case Action::kRemovePassword:
            return "remove-password";
        case Action::kErase:
            return "erase";
    }
    return "";
}

std::string availableActions(const ViewState& view) {
    std::string list;
    for (Action action : {Action::kLock, Action::kUnlock, Action::kRemovePassword, Action::kErase}) {
        if (!actionAvailable(view, action))
            continue;
        if (!list.empty())
            list += ", ";
        list += commandName(action);
    }
    return list.empty() ? "none" : list;
}

std::string slotPlace(const CardwardenModel& model, cardsec::ReaderTransport& transport, CardType type) {
    const int drive = type == CardType::kSd ? model.reader().m_nSdDrive : model.reader().m_nCfDrive;
    if (drive < 0)
        return "";
    const std::string& label = model.reader().m_strDiskLabel[drive];
    return " in " + label + " (" + transport.drivePath(drive) + ")";
}

void printCard(const CardwardenModel& model, cardsec::ReaderTransport& transport, CardType type) {
    const ViewState& view = model.view();
    std::printf("%s card%s\n", cardName(type), slotPlace(model, transport, type).c_str());
    if (!view.statusDisplay.empty())
        std::printf("  Status: %s\n", view.statusDisplay.c_str());
    if (!view.infoLine.empty())
        std::printf("  %s\n", indentLines(view.infoLine, 2).c_str());
    std::printf("  Actions: %s\n", availableActions(view).c_str());
}

int reportBusy() {
    std::fprintf(stderr, "%s\n", text::kReaderBusy);
    return kExitBusy;
}

// Reports a slot that cannot be used; returns the exit code.
int reportUnusable(SlotState state, CardType type) {
    switch (state) {
        case SlotState::kBusy:
            return reportBusy();
        case SlotState::kNoAnswer:
            std::fprintf(stderr, "%s card: %s\n", cardName(type), cardsec::text::kCardDidNotAnswer);
            return kExitBusy;
        case SlotState::kNoReader:
            std::fprintf(stderr, "%s\n", text::kConnectReader);
            return kExitNoCard;
        default:
            break;
    }
    std::fprintf(stderr, "%s\n", type == CardType::kSd ? text::kSdNotInserted : text::kCfNotInserted);
    return kExitNoCard;
}

int statusOfSlot(CardwardenModel& model, cardsec::ReaderTransport& transport, CardType type, bool alone) {
    const SlotState state = openSlot(model, type);
    if (state == SlotState::kReady) {
        printCard(model, transport, type);
        return kExitSuccess;
    }
    if (alone || state != SlotState::kNoCard)
        return reportUnusable(state, type);
    std::printf("%s card: %s\n", cardName(type), "not inserted");
    return kExitSuccess;
}

Action actionOf(const std::string& command) {
    if (command == "lock")
        return Action::kLock;
    if (command == "unlock")
        return Action::kUnlock;
    if (command == "remove-password")
        return Action::kRemovePassword;
    return Action::kErase;
}

int refuseAction(const CardwardenModel& model, cardsec::ReaderTransport& transport, Action action,
                 CardType type) {
    std::fprintf(stderr, "lockwright: \"%s\" is not available for this %s card in its present state.\n",
                 actionName(action).c_str(), cardName(type));
    if (action == Action::kLock && actionAvailable(model.view(), Action::kUnlock)) {
        std::fprintf(stderr, "The card is locked: use lockwright unlock --slot %s.\n",
                     type == CardType::kSd ? "sd" : "cf");
    }
    std::fflush(stderr);
    printCard(model, transport, type);
    return kExitNotAvailable;
}

int exitCodeOf(const ActionReport& report) {
    if (report.status == ActionStatus::kAbandoned)
        return kExitCancelled;
    switch (report.result.outcome) {
        case Outcome::kSucceeded:
            return kExitSuccess;
        case Outcome::kCancelled:
            return kExitCancelled;
        case Outcome::kSlotUnavailable:
            return kExitNoCard;
        case Outcome::kReaderBusy:
            return kExitBusy;
        case Outcome::kCardChanged:
        case Outcome::kFailed:
            break;
    }
    return kExitFailed;
}

// Every operation ends with one result line on standard output; the card's
// own results are printed as messages, a cancellation here.
void reportCancellation(const ActionReport& report) {
    if (report.status == ActionStatus::kAbandoned) {
        std::puts("Cancelled: no acceptable password was given. Nothing was sent to the card.");
    } else if (report.status == ActionStatus::kRan && report.result.outcome == Outcome::kCancelled) {
        std::puts("Cancelled. Nothing was sent to the card.");
    }
    std::fflush(stdout);
}

ModelOptions commandLineOptions() {
    ModelOptions options;
    options.examineCardsPresentAtStart = true;
    return options;
}

}  // namespace

int statusCommand(const CommandLine& line, cardsec::ReaderTransport& transport, cardsec::Sleeper& sleeper,
                  TerminalUi& ui) {
    const cardsec::ReaderHold hold(transport, kCommandHoldWaitMs);
    if (!hold.held())
        return reportBusy();
    CardwardenModel model(transport, sleeper, ui, commandLineOptions());
    if (!line.slot.empty())
        return statusOfSlot(model, transport, cardTypeOf(line.slot), true);
    const int sd = statusOfSlot(model, transport, CardType::kSd, false);
    if (sd != kExitSuccess)
        return sd;
    return statusOfSlot(model, transport, CardType::kCf, false);
}

int actionCommand(const CommandLine& line, cardsec::ReaderTransport& transport, cardsec::Sleeper& sleeper,
                  TerminalUi& ui) {
    const CardType type = cardTypeOf(line.slot);
    const Action action = actionOf(line.command);
    // Held from the look at the card to the end of the operation, so no other
    // program's commands come between them.
    const cardsec::ReaderHold hold(transport, kCommandHoldWaitMs);
    if (!hold.held())
        return reportBusy();
    CardwardenModel model(transport, sleeper, ui, commandLineOptions());
    const SlotState state = openSlot(model, type);
    if (state != SlotState::kReady)
        return reportUnusable(state, type);
    if (!actionAvailable(model.view(), action))
        return refuseAction(model, transport, action, type);
    ui.setEchoInfoLine(true);
    const ActionReport report = runAction(model, ui, action);
    reportCancellation(report);
    if (report.status == ActionStatus::kRan && report.result.outcome != Outcome::kCancelled)
        model.poll();
    return exitCodeOf(report);
}

}  // namespace salvora::lockwright

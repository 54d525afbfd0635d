// One look at a slot and one action on it, for front ends that run an action
// from start to end without a window (the command line, tests): the same
// steps a user takes in the window, in the same order.
#pragma once

#include <string>

#include "cardprotect_app/core/cardwarden_model.h"

namespace salvora::cardprotect {

enum class SlotState {
    kReady,     // the slot holds a card and it was read
    kNoReader,  // no reader found
    kNoCard,    // the reader has no card in this slot (or it cannot be told apart)
    kNoAnswer,  // the CF card stayed busy: "The card did not answer."
    kBusy,      // another program holds the reader
};

// Starts the window logic, runs one poll, selects `cardType` and polls once
// more so that the card is read as the window reads it.
SlotState openSlot(CardwardenModel& model, CardType cardType);

enum class Action { kLock, kUnlock, kRemovePassword, kErase };

enum class ActionStatus {
    kRan,           // the worker ran; see result.outcome
    kNotAvailable,  // the window offers no such action for this card now
    kAbandoned,     // no password was given, or it was refused too often
};

struct ActionReport {
    ActionStatus status = ActionStatus::kNotAvailable;
    OperationResult result;
};

// True when the window's buttons offer `action` for the selected card: Lock
// and Unlock follow the Lock button and its caption.
bool actionAvailable(const ViewState& view, Action action);

// Presses the action's button, collects the password through ui.askPassword
// (up to `attempts` entries refused by the panel's rules) and runs the worker.
ActionReport runAction(CardwardenModel& model, WorkflowUi& ui, Action action, int attempts = 3);

// The action's name as the user sees it ("Lock", "Unlock", "Disable Password", "Erase").
std::string actionName(Action action);

}  // namespace salvora::cardprotect

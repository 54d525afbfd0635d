// The calls through which the portable window logic reaches a front end: the
// Windows dialog turns them into message boxes and control updates, the
// command line into printed lines and prompts.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "cardprotect_app/core/view_state.h"
#include "cardsec/result_message.h"

namespace salvora::cardprotect {

struct PanelSettings;

// What the user typed into the password panel.
struct PasswordEntry {
    std::string password;
    std::string confirmation;  // set mode only
};

class WorkflowUi {
  public:
    virtual ~WorkflowUi() = default;

    // A modal message with its caption and icon.
    virtual void showMessage(const cardsec::ResultMessage& message) = 0;

    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const cardsec::ResultMessage& question) = 0;

    // Collects a password for the panel described by `settings` (the field
    // typed twice in set mode). nullopt when the user gives up.
    virtual std::optional<PasswordEntry> askPassword(const PanelSettings& settings) = 0;

    // The information line changed (progress texts, status texts).
    virtual void infoLineChanged(const std::string& text) { (void)text; }

    // Anything in the view changed.
    virtual void viewChanged(const ViewState& view) { (void)view; }

    // The open password panel must go.
    virtual void closePasswordPanel() {}

    // Runs `work` on the window's thread and returns when it is done (a worker
    // hands its completion over this way). Runs it at once by default.
    virtual void runOnWindowThread(const std::function<void()>& work) { work(); }
};

}  // namespace salvora::cardprotect

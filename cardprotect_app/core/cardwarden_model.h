// The main window's logic without a window: reader discovery, the one-second
// poll with automatic selection, card-type selection, the button states of
// each card state, the Lock caption, tooltips, the password panel requests and
// the worker procedures of the three security operations. A front end calls
// these methods from its events and shows what comes back through WorkflowUi
// and view(). Not thread-safe: while a worker runs, the poll does nothing, and
// the worker hands its completion to the window thread.
//
// Every call that sends commands holds the reader (ReaderHold) while it
// runs, so no other program's commands come between them; a worker holds it
// from its first step to its last. Window-thread calls wait only briefly for
// another program to let go and otherwise say that the reader is busy.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "cardprotect_app/core/password_panel.h"
#include "cardprotect_app/core/view_state.h"
#include "cardprotect_app/core/workflow_ui.h"
#include "cardsec/cf_commands.h"
#include "cardsec/cf_sequences.h"
#include "cardsec/reader_context.h"
#include "cardsec/sd_commands.h"

namespace salvora::cardprotect {

struct ModelOptions {
    // Windows 2000 wants one more presence probe after an SD status read.
    bool win2000 = false;
    // A window examines an unlocked SD card only after it was inserted while the
    // window was open. A command line, which starts anew for every command,
    // examines the card it finds.
    bool examineCardsPresentAtStart = false;
};

// How long the window thread waits for another program to let go of the
// reader before it says the reader is busy, and how long a worker waits.
constexpr uint32_t kWindowHoldWaitMs = 250;
constexpr uint32_t kWorkerHoldWaitMs = 10000;

// The card modes of the action buttons: all disabled, or as the SD or the CF card allows.
enum class CardMode : int { kAllDisabled = -1, kSd = 0, kCf = 1 };

enum class Outcome {
    kSucceeded,        // the card confirmed the operation
    kFailed,           // the card refused it, or did not confirm it
    kCancelled,        // the user answered No
    kSlotUnavailable,  // the slot handle is not open; nothing was sent
    kCardChanged,      // the card was taken out or replaced after it was read; nothing was sent
    kReaderBusy,       // another program held the reader; nothing was sent
};

struct OperationResult {
    Outcome outcome = Outcome::kFailed;
    std::vector<cardsec::ResultMessage> messages;  // every message shown, in order
};

class CardwardenModel {
  public:
    CardwardenModel(cardsec::ReaderTransport& transport, cardsec::Sleeper& sleeper, WorkflowUi& ui,
                    ModelOptions options = {});

    // Window initialisation: discovery, then the all-disabled start state.
    void initialise();
    // The one-second poll. Does nothing while an operation runs.
    void poll();
    // A device arrived or left: forget the caches and discover again. While an
    // operation runs the discovery waits for its end, since a pass may close
    // the slot handles the worker is using.
    void deviceChanged();
    void selectSd();
    void selectCf();

    // The action buttons. Each returns the settings of the password panel to
    // open; for the SD erase (usesPanel false) the caller starts the worker at
    // once.
    PanelSettings lockPressed();
    PanelSettings removePressed();
    PanelSettings erasePressed();
    // The panel's confirmation was answered No: the operation is abandoned.
    void panelDeclined();

    // The window is about to start a worker on another thread: from now on the
    // poll does nothing and closing is refused, before the worker's first
    // step. runWorker marks the operation too.
    void operationStarting() { workerRunning_ = true; }

    // The worker procedure of `kind` (LockThreadProc, RemoveThreadProc or
    // EraseThreadProc of the window) with the accepted password. Runs to its end
    // on the caller's thread and hands completion to the window thread through
    // WorkflowUi::runOnWindowThread; after that hand-over it touches nothing
    // of the model, so the window may close as soon as the completion ran.
    OperationResult runWorker(WorkerKind kind, const PasswordBuffer& password);

    // Completion of an operation (WM_SECURITY_DONE): rescan the slot of
    // `cardType` or nothing (kNone).
    void securityDone(CardType cardType);

    // The window wants to close: refused with a warning while an operation
    // runs; otherwise the slot handles are closed and true is returned.
    bool requestClose();

    const ViewState& view() const { return view_; }
    CardType cardType() const { return cardType_; }
    bool operationRunning() const { return workerRunning_; }
    bool sdReadable() const { return sdReadable_; }
    bool readerFound() const { return readerFound_; }
    const cardsec::ReaderContext& reader() const { return context_; }
    const cardsec::SdState& sdState() const { return sd_; }
    const cardsec::CfState& cfState() const { return cf_; }
    const std::string& status() const { return status_; }
    // The last decoded CF security report (valid after a CF status read).
    const cardsec::CfSecurityReport& cfReport() const { return cfReport_; }
    // The last CF status read, answered or not (timedOut: the card stayed busy).
    const cardsec::CfSecurityReport& cfLastRead() const { return cfLastRead_; }
    // The last call could not hold the reader: another program has it.
    bool readerBusy() const { return readerBusy_; }

  private:
    bool holdOrSayBusy(const cardsec::ReaderHold& hold);
    void runDiscovery();
    void applyCardMode(CardMode mode);
    void refreshLockCaption();
    void updateTooltips();
    void setInfoLine(const std::string& text);
    void notify();
    void unpressActions();
    void closePanel();
    void openPanel(const PanelSettings& settings, ButtonView& pressed);
    std::optional<cardsec::CardPresence> pollSd();
    std::optional<cardsec::CardPresence> pollCf();
    void sdTakenOut();
    void cfTakenOut();
    void readSdSelected();
    void readCfSelected();
    void showStatus();
    void applySdReport(const cardsec::SdStatusReport& report);
    std::string sdInfoText(const cardsec::SdStatusReport& report) const;
    void applyCfReport(const cardsec::CfSecurityReport& report);
    void showMessages(const std::vector<cardsec::ResultMessage>& messages, OperationResult* result);

    // Workers (security_workers.cpp).
    bool commonStart(OperationResult& result, bool confirmErase, std::optional<cardsec::ReaderHold>& hold);
    void abandon(OperationResult& result, const cardsec::ResultMessage& message, Outcome outcome);
    void commonEnd();
    bool sameSdCard();
    void runSdWorker(WorkerKind kind, const std::string& password, OperationResult& result);
    void runCfWorker(WorkerKind kind, const std::string& password, OperationResult& result);
    void finishCf(const cardsec::CfOperationResult& outcome, OperationResult& result);

    cardsec::ReaderTransport& transport_;
    cardsec::Sleeper& sleeper_;
    WorkflowUi& ui_;
    ModelOptions options_;

    cardsec::ReaderContext context_;
    cardsec::SdState sd_;
    cardsec::CfState cf_;
    cardsec::CfSecurityReport cfReport_;
    cardsec::CfSecurityReport cfLastRead_;
    cardsec::CfCardIdentity cfCard_;  // the CF card of the last answered status read
    // Changes of the SD card seen (removals, insertions, re-insertions), and
    // their number when the user chose the operation now prepared.
    int sdChanges_ = 0;
    int sdChangesAtChoice_ = 0;
    CardType cardType_ = CardType::kNone;
    bool sdRescan_ = true;
    bool sdReadable_ = true;
    std::atomic<bool> workerRunning_ = false;  // set by the window or the worker, read by both
    bool discoveryPending_ = false;            // a device change came while an operation ran
    bool panelOpen_ = false;
    bool readerFound_ = false;
    bool readerBusy_ = false;
    std::string status_;  // m_strStatus: "LOCKED", "UNLOCKED" or empty
    ViewState view_;
};

}  // namespace salvora::cardprotect

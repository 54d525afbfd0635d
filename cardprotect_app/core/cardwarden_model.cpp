#include "cardprotect_app/core/cardwarden_model.h"

#include "cardprotect_app/core/app_texts.h"
#include "cardsec/messages.h"

namespace salvora::cardprotect {

using namespace cardsec;

namespace {

constexpr int kFrozenOffset = 6;
constexpr int kExpiredOffset = 12;

// A slot's probe in the poll: nullopt when its handle is not open.
using Probe = std::optional<CardPresence>;

bool absentOrClosed(const Probe& probe) {
    return !probe || *probe == CardPresence::kAbsent;
}

bool present(const Probe& probe) {
    return probe && (*probe == CardPresence::kPresent || *probe == CardPresence::kChanged);
}

}  // namespace

CardwardenModel::CardwardenModel(ReaderTransport& transport, Sleeper& sleeper, WorkflowUi& ui,
                                 ModelOptions options)
    : transport_(transport), sleeper_(sleeper), ui_(ui), options_(options) {}

void CardwardenModel::initialise() {
    context_.releaseSlots(transport_);  // a second start must not leak the handles of the first
    context_ = ReaderContext{};
    view_ = ViewState{};
    sd_ = SdState{};
    cf_ = CfState{};
    sdRescan_ = true;
    cf_.m_bCfRescan = true;
    cardType_ = CardType::kNone;
    status_.clear();
    workerRunning_ = false;
    panelOpen_ = discoveryPending_ = readerBusy_ = false;
    sdChanges_ = sdChangesAtChoice_ = 0;
    cfCard_ = CfCardIdentity{};
    const ReaderHold hold(transport_, kWindowHoldWaitMs);
    if (hold.held())
        runDiscovery();
    setInfoLine("");
    view_.statusDisplay.clear();
    view_.sdLabel.clear();
    view_.cfLabel.clear();
    view_.statusCaptionVisible = false;
    applyCardMode(CardMode::kAllDisabled);
    sdReadable_ =
        options_.examineCardsPresentAtStart || context_.m_hSdSlot == kInvalidSlot || sd_.m_bSdLocked;
    holdOrSayBusy(hold);
    notify();
}

bool CardwardenModel::holdOrSayBusy(const ReaderHold& hold) {
    readerBusy_ = !hold.held();
    if (readerBusy_)
        setInfoLine(text::kReaderBusy);
    return hold.held();
}

void CardwardenModel::deviceChanged() {
    if (workerRunning_) {
        discoveryPending_ = true;
        return;
    }
    const ReaderHold hold(transport_, kWindowHoldWaitMs);
    discoveryPending_ = !holdOrSayBusy(hold);
    if (!discoveryPending_) {
        context_.clearCaches();
        runDiscovery();
    }
    notify();
}

void CardwardenModel::runDiscovery() {
    const DiscoveryOutcome outcome = ScanForReader(context_, transport_, sd_, cf_, sleeper_);
    readerFound_ = outcome.readerFound;
    refreshLockCaption();
    if (!outcome.readerFound) {
        status_.clear();
        view_.statusDisplay.clear();
        view_.sdLabel.clear();
        view_.cfLabel.clear();
        setInfoLine(text::kConnectReader);
        cardType_ = CardType::kNone;
        view_.sdSelector.pressed = view_.cfSelector.pressed = false;
        applyCardMode(CardMode::kAllDisabled);
        return;
    }
    if (outcome.noSlotOpen)
        setInfoLine(text::kInsertCard);
    if (!outcome.sdAssigned)
        view_.sdSelector.enabled = false;
    if (!outcome.cfAssigned)
        view_.cfSelector.enabled = false;
}

void CardwardenModel::applyCardMode(CardMode mode) {
    const bool enabled = mode != CardMode::kAllDisabled;
    view_.lock.enabled = view_.remove.enabled = view_.erase.enabled = enabled;
    if (!enabled) {
        view_.statusDisplay.clear();
        view_.statusCaptionVisible = false;
        return;
    }
    view_.statusOffset = 0;  // the saved placements
}

void CardwardenModel::refreshLockCaption() {
    if (cardType_ == CardType::kSd) {
        view_.lockCaption = sd_.m_bSdLocked ? text::kCaptionUnlock : text::kCaptionLock;
    } else if (cardType_ == CardType::kCf) {
        if (cf_.m_bCfSecurityEnabled) {
            view_.lockCaption = text::kCaptionUnlock;
        } else if (decodeIdentify(context_.m_IdentifyData).usable()) {
            view_.lockCaption = text::kCaptionLock;
        }
    } else {
        view_.lockCaption = text::kCaptionLock;
    }
}

void CardwardenModel::updateTooltips() {
    if (cardType_ == CardType::kSd) {
        view_.lockTooltip = sd_.m_bSdLocked ? text::kTipSdUnlock : text::kTipSdLock;
        view_.removeTooltip = text::kTipSdRemove;
        view_.eraseTooltip = text::kTipSdErase;
    } else if (cardType_ == CardType::kCf) {
        view_.lockTooltip = cf_.m_bCfSecurityEnabled ? text::kTipCfUnlock : text::kTipCfLock;
        view_.removeTooltip = text::kTipCfRemove;
        view_.eraseTooltip = text::kTipCfErase;
    }
}

void CardwardenModel::setInfoLine(const std::string& line) {
    view_.infoLine = line;
    ui_.infoLineChanged(line);
}

void CardwardenModel::notify() {
    ui_.viewChanged(view_);
}

void CardwardenModel::unpressActions() {
    view_.lock.pressed = view_.remove.pressed = view_.erase.pressed = false;
}

void CardwardenModel::closePanel() {
    view_.panelFrameVisible = false;
    if (!panelOpen_)
        return;
    panelOpen_ = false;
    ui_.closePasswordPanel();
}

void CardwardenModel::poll() {
    if (workerRunning_)
        return;
    const bool wasBusy = readerBusy_;
    const ReaderHold hold(transport_, kWindowHoldWaitMs);
    if (!holdOrSayBusy(hold)) {
        notify();
        return;
    }
    if (wasBusy) {
        // Another program had the reader: its cards may have changed meanwhile.
        sdRescan_ = cf_.m_bCfRescan = true;
        setInfoLine("");
    }
    if (discoveryPending_) {
        discoveryPending_ = false;
        context_.clearCaches();
        runDiscovery();
    }
    updateTooltips();
    if (cardType_ == CardType::kNone &&
        (context_.m_hSdSlot != kInvalidSlot || context_.m_hCfSlot != kInvalidSlot)) {
        setInfoLine(text::kSelectCard);
    }
    const Probe sdProbe = pollSd();
    const Probe cfProbe = pollCf();
    if (absentOrClosed(sdProbe) && present(cfProbe) && cardType_ != CardType::kCf)
        selectCf();
    if (absentOrClosed(cfProbe) && present(sdProbe) && cardType_ != CardType::kSd)
        selectSd();
    notify();
}

void CardwardenModel::sdTakenOut() {
    ++sdChanges_;
    view_.sdSelector.enabled = false;
    view_.sdLabel.clear();
    if (cardType_ == CardType::kSd) {
        setInfoLine(text::kSdNotInserted);
        unpressActions();
        closePanel();
        applyCardMode(CardMode::kAllDisabled);
    }
    sdReadable_ = true;
    sdRescan_ = true;
}

void CardwardenModel::cfTakenOut() {
    view_.cfSelector.enabled = false;
    view_.cfLabel.clear();
    if (cardType_ == CardType::kCf) {
        setInfoLine(text::kCfNotInserted);
        unpressActions();
        closePanel();
        applyCardMode(CardMode::kAllDisabled);
    }
    cf_.m_bCfRescan = true;
}

// A probe that reports a changed card counts as a removal followed by an
// insertion: an open panel closes and the card is read again.
std::optional<CardPresence> CardwardenModel::pollSd() {
    if (context_.m_hSdSlot == kInvalidSlot) {
        runDiscovery();
        return std::nullopt;
    }
    const CardPresence probe = ProbeCardPresence(transport_, context_.m_hSdSlot);
    if (probe == CardPresence::kAbsent || probe == CardPresence::kChanged)
        sdTakenOut();
    if (probe == CardPresence::kPresent || probe == CardPresence::kChanged) {
        view_.sdSelector.enabled = true;
        view_.sdLabel = context_.m_strDiskLabel[context_.m_nSdDrive];
        if (cardType_ == CardType::kSd && sdRescan_ && sdReadable_) {
            sdRescan_ = false;
            sd_.clearFiveFlags();
            readSdSelected();
        }
    }
    return probe;
}

std::optional<CardPresence> CardwardenModel::pollCf() {
    if (context_.m_hCfSlot == kInvalidSlot) {
        runDiscovery();
        return std::nullopt;
    }
    const CardPresence probe = ProbeCardPresence(transport_, context_.m_hCfSlot);
    if (probe == CardPresence::kAbsent || probe == CardPresence::kChanged)
        cfTakenOut();
    if (probe == CardPresence::kPresent || probe == CardPresence::kChanged) {
        view_.cfSelector.enabled = true;
        view_.cfLabel = context_.m_strDiskLabel[context_.m_nCfDrive];
        if (cardType_ == CardType::kCf && cf_.m_bCfRescan) {
            cf_.m_bCfRescan = false;
            readCfSelected();
        }
    }
    return probe;
}

// Reads the SD card of the selected slot and shows the result.
void CardwardenModel::readSdSelected() {
    const SdStatusReport report = ReadSdStatus(transport_, context_.m_hSdSlot, sd_);
    if (report.mediumChanged)
        ++sdChanges_;
    if (context_.m_hSdSlot != kInvalidSlot)
        applySdReport(report);
    setInfoLine(sdInfoText(report));
    if (options_.win2000)
        ProbeCardPresence(transport_, context_.m_hSdSlot);
    showStatus();
}

// A read that fails (no answer, a card that stays busy) is tried again at the
// next poll; meanwhile the actions stay disabled.
void CardwardenModel::readCfSelected() {
    const CfSecurityReport report = ReadCfSecurityStatus(
        transport_, context_.m_hCfSlot, context_.m_IdentifyData, cf_, sleeper_, kInteractiveWaitMs);
    cfLastRead_ = report;
    if (report.identified) {
        cfCard_ = cfCardIdentity(context_.m_IdentifyData);
        applyCfReport(report);
    } else if (context_.m_hCfSlot != kInvalidSlot) {
        cf_.m_bCfRescan = true;
        status_.clear();
        applyCardMode(CardMode::kAllDisabled);
    }
    setInfoLine(report.text);
    showStatus();
}

void CardwardenModel::showStatus() {
    view_.statusDisplay = status_;
    refreshLockCaption();
}

void CardwardenModel::showMessages(const std::vector<ResultMessage>& messages, OperationResult* result) {
    for (const ResultMessage& message : messages) {
        ui_.showMessage(message);
        if (result)
            result->messages.push_back(message);
    }
}

// A command line starts afresh: an SD card that is not locked may have a
// password that was entered since the card was inserted, so it says what is
// known instead of "Security: Disabled".
std::string CardwardenModel::sdInfoText(const SdStatusReport& report) const {
    if (options_.examineCardsPresentAtStart && report.text == cardsec::text::kSdSecurityDisabled)
        return text::kSdNotLockedNow;
    return report.text;
}

void CardwardenModel::applySdReport(const SdStatusReport& report) {
    const bool selected = cardType_ == CardType::kSd;
    if (selected)
        applyCardMode(CardMode::kSd);
    showMessages(report.messages, nullptr);
    if (!selected)
        return;
    if (report.locked) {
        status_ = cardsec::text::kStatusLocked;
        view_.statusCaptionVisible = true;
    } else if (report.tempUnlocked) {
        view_.lock.enabled = view_.erase.enabled = false;
        status_ = cardsec::text::kStatusUnlocked;
        view_.statusCaptionVisible = true;
    } else {
        // Lock for a card without password, Disable Password for one that
        // was unlocked with it: a command line cannot tell them apart.
        view_.remove.enabled = options_.examineCardsPresentAtStart;
        view_.erase.enabled = false;
        status_.clear();
        view_.statusCaptionVisible = false;
    }
}

void CardwardenModel::applyCfReport(const CfSecurityReport& report) {
    cfReport_ = report;
    const bool selected = cardType_ == CardType::kCf;
    if (!report.supported) {
        if (selected) {
            status_.clear();
            view_.statusCaptionVisible = false;
            applyCardMode(CardMode::kAllDisabled);
        }
        return;
    }
    if (selected)
        applyCardMode(CardMode::kCf);
    if (report.enabled && selected) {
        status_ = report.locked ? cardsec::text::kStatusLocked : cardsec::text::kStatusUnlocked;
        view_.statusCaptionVisible = true;
        if (!report.locked)
            view_.lock.enabled = false;
    } else if (selected) {
        view_.remove.enabled = view_.erase.enabled = false;
        status_.clear();
        view_.statusCaptionVisible = false;
    }
    if (selected && !report.usable())
        applyCardMode(CardMode::kAllDisabled);
    view_.statusOffset = (report.frozen ? kFrozenOffset : 0) + (report.expired ? kExpiredOffset : 0);
}

void CardwardenModel::selectSd() {
    cardType_ = CardType::kSd;
    view_.sdSelector.pressed = true;
    view_.cfSelector.pressed = false;
    unpressActions();
    view_.statusDisplayVisible = true;
    closePanel();
    if (!sdReadable_) {
        setInfoLine(text::kReinsertSd);
        applyCardMode(CardMode::kAllDisabled);
    } else {
        const ReaderHold hold(transport_, kWindowHoldWaitMs);
        if (holdOrSayBusy(hold)) {
            // A pending rescan is done by this read. Left pending, the next
            // poll would read the card afresh and forget an unlock made
            // meanwhile: the card would show as having no password.
            if (sdRescan_) {
                sdRescan_ = false;
                sd_.clearFiveFlags();
            }
            readSdSelected();
        } else {
            sdRescan_ = true;
            applyCardMode(CardMode::kAllDisabled);
        }
    }
    updateTooltips();
    notify();
}

void CardwardenModel::selectCf() {
    cardType_ = CardType::kCf;
    view_.cfSelector.pressed = true;
    view_.sdSelector.pressed = false;
    unpressActions();
    view_.statusDisplayVisible = true;
    applyCardMode(CardMode::kAllDisabled);
    setInfoLine(text::kScanningCf);
    cf_.m_bCfRescan = true;
    closePanel();
    updateTooltips();
    notify();
}

void CardwardenModel::openPanel(const PanelSettings& settings, ButtonView& pressed) {
    unpressActions();
    pressed.pressed = true;
    closePanel();
    view_.panelFrameVisible = true;
    panelOpen_ = true;
    view_.statusDisplayVisible = false;
    setInfoLine(explanationText(settings));
    notify();
}

PanelSettings CardwardenModel::lockPressed() {
    PanelSettings settings;
    settings.cardType = cardType_;
    settings.setMode = cardType_ == CardType::kCf ? !cf_.m_bCfSecurityEnabled : !sd_.m_bSdLocked;
    settings.worker = WorkerKind::kLock;
    sdChangesAtChoice_ = sdChanges_;
    openPanel(settings, view_.lock);
    return settings;
}

PanelSettings CardwardenModel::removePressed() {
    PanelSettings settings;
    settings.cardType = cardType_;
    settings.remove = true;
    settings.worker = WorkerKind::kRemove;
    sdChangesAtChoice_ = sdChanges_;
    openPanel(settings, view_.remove);
    return settings;
}

PanelSettings CardwardenModel::erasePressed() {
    PanelSettings settings;
    settings.cardType = cardType_;
    settings.erase = true;
    settings.worker = WorkerKind::kErase;
    sdChangesAtChoice_ = sdChanges_;
    if (cardType_ != CardType::kCf) {
        unpressActions();
        view_.erase.pressed = true;
        view_.statusDisplayVisible = false;
        settings.usesPanel = false;
        notify();
        return settings;
    }
    settings.eraseTimeByte = identifyEraseTimeByte(context_.m_IdentifyData);
    openPanel(settings, view_.erase);
    return settings;
}

void CardwardenModel::panelDeclined() {
    securityDone(cardType_);
}

void CardwardenModel::securityDone(CardType rescan) {
    workerRunning_ = false;
    unpressActions();
    view_.panelFrameVisible = false;
    view_.statusDisplayVisible = true;
    closePanel();
    if (cardType_ == CardType::kSd)
        view_.sdSelector.enabled = true;
    if (cardType_ == CardType::kCf)
        view_.cfSelector.enabled = true;
    if (rescan == CardType::kSd)
        sdRescan_ = true;
    if (rescan == CardType::kCf) {
        setInfoLine(text::kScanningCf);
        cf_.m_bCfRescan = true;
    }
    if (discoveryPending_) {
        deviceChanged();
        return;
    }
    notify();
}

bool CardwardenModel::requestClose() {
    if (workerRunning_) {
        ui_.showMessage({text::kOperationInProgress, cardsec::text::kWarning, MessageIcon::kExclamation});
        return false;
    }
    context_.releaseSlots(transport_);
    return true;
}

}  // namespace salvora::cardprotect

#include "cardprotect_app/core/cardwarden_model.h"

#include "cardprotect_app/core/app_texts.h"
#include "cardsec/messages.h"
#include "media/bytes.h"

namespace salvora::cardprotect {

using namespace cardsec;

namespace {

constexpr int kAllDisabled = -1;
constexpr int kProbeCardPresent = 0;
constexpr int kProbeNoCard = 2;
constexpr int kHandleInvalid = -100;  // the poll found the slot handle closed

constexpr int kFrozenOffset = 6;
constexpr int kExpiredOffset = 12;

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
    panelOpen_ = discoveryPending_ = false;
    runDiscovery();
    setInfoLine("");
    view_.statusDisplay.clear();
    view_.sdLabel.clear();
    view_.cfLabel.clear();
    view_.statusCaptionVisible = false;
    applyCardMode(kAllDisabled);
    sdReadable_ =
        options_.examineCardsPresentAtStart || context_.m_hSdSlot == kInvalidSlot || sd_.m_bSdLocked;
    notify();
}

void CardwardenModel::deviceChanged() {
    if (workerRunning_) {
        discoveryPending_ = true;
        return;
    }
    discoveryPending_ = false;
    context_.clearCaches();
    runDiscovery();
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
        applyCardMode(kAllDisabled);
        return;
    }
    if (outcome.noSlotOpen)
        setInfoLine(text::kInsertCard);
    if (!outcome.sdAssigned)
        view_.sdSelector.enabled = false;
    if (!outcome.cfAssigned)
        view_.cfSelector.enabled = false;
}

void CardwardenModel::applyCardMode(int mode) {
    const bool enabled = mode != kAllDisabled;
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
        } else {
            const uint16_t word = Bytes(context_.m_IdentifyData.data(), kDataBlockSize).le16(256);
            if ((word & 0x0001) && !(word & 0x0018))
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
    updateTooltips();
    if (cardType_ == CardType::kNone &&
        (context_.m_hSdSlot != kInvalidSlot || context_.m_hCfSlot != kInvalidSlot)) {
        setInfoLine(text::kSelectCard);
    }
    const int sdProbe = pollSd();
    const int cfProbe = pollCf();
    const bool sdAbsent = sdProbe == kProbeNoCard || sdProbe == kHandleInvalid;
    const bool cfAbsent = cfProbe == kProbeNoCard || cfProbe == kHandleInvalid;
    if (sdAbsent && cfProbe == kProbeCardPresent && cardType_ != CardType::kCf)
        selectCf();
    if (cfAbsent && sdProbe == kProbeCardPresent && cardType_ != CardType::kSd)
        selectSd();
    notify();
}

int CardwardenModel::pollSd() {
    if (context_.m_hSdSlot == kInvalidSlot) {
        runDiscovery();
        return kHandleInvalid;
    }
    const int probe = ProbeCardPresence(transport_, context_.m_hSdSlot);
    if (probe == kProbeNoCard) {
        view_.sdSelector.enabled = false;
        view_.sdLabel.clear();
        if (cardType_ == CardType::kSd) {
            setInfoLine(text::kSdNotInserted);
            unpressActions();
            closePanel();
            applyCardMode(kAllDisabled);
        }
        sdReadable_ = true;
        sdRescan_ = true;
    } else if (probe == kProbeCardPresent) {
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

int CardwardenModel::pollCf() {
    if (context_.m_hCfSlot == kInvalidSlot) {
        runDiscovery();
        return kHandleInvalid;
    }
    const int probe = ProbeCardPresence(transport_, context_.m_hCfSlot);
    if (probe == kProbeNoCard) {
        view_.cfSelector.enabled = false;
        view_.cfLabel.clear();
        if (cardType_ == CardType::kCf) {
            setInfoLine(text::kCfNotInserted);
            unpressActions();
            closePanel();
            applyCardMode(kAllDisabled);
        }
        cf_.m_bCfRescan = true;
    } else if (probe == kProbeCardPresent) {
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
    if (context_.m_hSdSlot != kInvalidSlot)
        applySdReport(report);
    setInfoLine(report.text);
    if (options_.win2000)
        ProbeCardPresence(transport_, context_.m_hSdSlot);
    showStatus();
}

void CardwardenModel::readCfSelected() {
    const CfSecurityReport report =
        ReadCfSecurityStatus(transport_, context_.m_hCfSlot, context_.m_IdentifyData, cf_, sleeper_);
    if (report.identified)
        applyCfReport(report);
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

void CardwardenModel::applySdReport(const SdStatusReport& report) {
    const bool selected = cardType_ == CardType::kSd;
    if (selected)
        applyCardMode(0);
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
        view_.remove.enabled = view_.erase.enabled = false;
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
            applyCardMode(kAllDisabled);
        }
        return;
    }
    if (selected)
        applyCardMode(1);
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
        applyCardMode(kAllDisabled);
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
        applyCardMode(kAllDisabled);
    } else {
        readSdSelected();
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
    applyCardMode(kAllDisabled);
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
    openPanel(settings, view_.lock);
    return settings;
}

PanelSettings CardwardenModel::removePressed() {
    PanelSettings settings;
    settings.cardType = cardType_;
    settings.remove = true;
    settings.worker = WorkerKind::kRemove;
    openPanel(settings, view_.remove);
    return settings;
}

PanelSettings CardwardenModel::erasePressed() {
    PanelSettings settings;
    settings.cardType = cardType_;
    settings.erase = true;
    settings.worker = WorkerKind::kErase;
    if (cardType_ != CardType::kCf) {
        unpressActions();
        view_.erase.pressed = true;
        view_.statusDisplayVisible = false;
        settings.usesPanel = false;
        notify();
        return settings;
    }
    settings.eraseTimeByte = context_.m_IdentifyData[178];
    openPanel(settings, view_.erase);
    return settings;
}

void CardwardenModel::panelDeclined() {
    securityDone(static_cast<int>(cardType_));
}

void CardwardenModel::securityDone(int rescan) {
    workerRunning_ = false;
    unpressActions();
    view_.panelFrameVisible = false;
    view_.statusDisplayVisible = true;
    closePanel();
    if (cardType_ == CardType::kSd)
        view_.sdSelector.enabled = true;
    if (cardType_ == CardType::kCf)
        view_.cfSelector.enabled = true;
    if (rescan == static_cast<int>(CardType::kSd))
        sdRescan_ = true;
    if (rescan == static_cast<int>(CardType::kCf)) {
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

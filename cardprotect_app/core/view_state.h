// What the main window shows, as plain data: the Windows dialog maps each
// field to a control, the command line prints what it needs.
#pragma once

#include <string>

namespace salvora::cardprotect {

// Window message and timer numbers the Windows dialog uses with this logic.
constexpr unsigned kPollTimerId = 7001;  // the one-second poll
constexpr unsigned kPollPeriodMs = 1000;
constexpr unsigned kWmSecurityDone = 7003;   // securityDone(wParam), sent by a worker
constexpr unsigned kWmRepaintLabels = 7004;  // an image button painted itself

enum class CardType : int { kNone = -1, kSd = 0, kCf = 1 };

struct ButtonView {
    bool enabled = false;
    bool pressed = false;  // selected card type, or the action whose panel is open
};

struct ViewState {
    std::string infoLine;
    std::string statusDisplay;          // "LOCKED", "UNLOCKED" or empty
    bool statusDisplayVisible = true;   // hidden while a password panel is shown
    bool statusCaptionVisible = false;  // the "Current status:" label
    int statusOffset = 0;               // pixels below the saved placement (CF frozen 6, expired 12)
    ButtonView lock, remove, erase;
    std::string lockCaption = "Lock";  // "Lock" or "Unlock"
    ButtonView sdSelector, cfSelector;
    std::string sdLabel, cfLabel;  // "Disk (%c:)" over the selector buttons
    std::string lockTooltip, removeTooltip, eraseTooltip;
    bool panelFrameVisible = false;
};

}  // namespace salvora::cardprotect

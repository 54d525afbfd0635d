// The rules of the password panel: its explanation texts, when the two set-mode
// fields agree, which characters are refused, and the checks and confirmation
// of its OK button.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "cardprotect_app/core/view_state.h"
#include "cardprotect_app/core/workflow_ui.h"

namespace salvora::cardprotect {

enum class WorkerKind { kLock, kRemove, kErase };

// Given by the main window when it opens a panel (or starts the SD erase,
// which has none: usesPanel false).
struct PanelSettings {
    bool setMode = false;  // new password, typed twice; else the existing one, once
    CardType cardType = CardType::kNone;
    bool remove = false;
    bool erase = false;
    uint8_t eraseTimeByte = 0;  // IDENTIFY word 89, low byte (CF erase)
    WorkerKind worker = WorkerKind::kLock;
    bool usesPanel = true;
};

// The 32-byte hand-over buffer: the password and its terminating zero. The
// fields take at most 31 characters, so an accepted password is never cut.
constexpr size_t kPasswordBufferSize = 32;
constexpr size_t kMaxPasswordLength = kPasswordBufferSize - 1;

class PasswordBuffer {
  public:
    PasswordBuffer() { bytes_.fill(0); }
    // Copies at most 31 bytes of `text`; the rest stays zero.
    explicit PasswordBuffer(const std::string& text);
    // The password up to the first zero byte.
    std::string text() const;
    const std::array<char, kPasswordBufferSize>& bytes() const { return bytes_; }

  private:
    std::array<char, kPasswordBufferSize> bytes_;
};

// The text the panel writes into the information line.
std::string explanationText(const PanelSettings& settings);

// Set mode: the match indicator is shown when both fields hold the same
// non-empty text.
bool fieldsMatch(const std::string& password, const std::string& confirmation);

// True for a character the field refuses as it is typed: a space in set mode.
bool refusesCharacter(bool setMode, char typed);

// True when every byte is printable ASCII (0x20..0x7E): such a password can
// be typed again on any keyboard, in the window and on the command line, and
// reaches the card as the same bytes.
bool printableAscii(const std::string& password);

// The question asked before a new password is set.
std::string lockConfirmationText(CardType cardType, const std::string& password);

enum class PanelVerdict { kAccepted, kEmpty, kNotAscii, kTooLong, kHasSpace, kMismatch, kDeclined };

struct PanelResult {
    PanelVerdict verdict = PanelVerdict::kEmpty;
    PasswordBuffer password;  // filled when accepted
};

// The OK button: refuses an empty password ("Password field is empty..."), a
// password with anything but printable ASCII (an accented letter, a tab, a
// NUL, or a character the window could not take over unchanged), a password
// longer than 31 characters, a space in set mode and, in set mode, fields
// that differ; each with its one message through `ui`, before anything is
// sent. In set mode it then asks for confirmation. Accepted: the hand-over
// buffer holds the password.
PanelResult acceptPassword(const PanelSettings& settings, const PasswordEntry& entry, WorkflowUi& ui);

}  // namespace salvora::cardprotect

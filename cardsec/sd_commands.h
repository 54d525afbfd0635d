// SD card security through the reader's SD slot: SEND_STATUS (CMD13) and
// LOCK_UNLOCK (CMD42) in the vendor command block, the decoding of the card
// status and the decision which result the user gets for a pending request.
#pragma once

#include <string>
#include <vector>

#include "cardsec/pass_through.h"
#include "cardsec/result_message.h"
#include "cardsec/types.h"

namespace salvora::cardsec {

constexpr uint8_t kSdSendStatus = 0x13;
constexpr uint8_t kSdLockUnlock = 0x42;

enum class SdOperation { kLock, kUnlock, kRemovePassword, kForcedErase };

// The SD state the main window keeps between status reads.
struct SdState {
    bool m_bSdLocked = false;         // the last status read showed CARD_IS_LOCKED
    bool m_bSdTempUnlocked = false;   // unlocked by this program during the current insertion
    bool m_bSdLockRequested = false;  // a command was sent, its result not yet reported
    bool m_bSdUnlockRequested = false;
    bool m_bSdRemoveRequested = false;
    bool m_bSdEraseRequested = false;

    // Clears the four request flags and m_bSdTempUnlocked (card (re)inserted
    // or slot discovered).
    void clearFiveFlags();
    bool anyRequestPending() const;
};

// The 16-byte vendor block carrying SD command `code`.
Cdb sdCommandBlock(uint8_t code);

// The 512-byte CMD42 data block of an operation; `password` is ignored for the
// forced erase. The length byte counts the password's bytes (at most 255 are
// taken; the password panel allows far fewer).
DataBlock sdLockUnlockBlock(SdOperation operation, const std::string& password);

// The fields of a SEND_STATUS answer the system uses.
struct SdCardStatus {
    bool cardIsLocked = false;      // card status bit 25
    bool lockUnlockFailed = false;  // card status bit 24
    uint8_t currentState = 0;       // card status bits 12..9; 0 = idle
};
SdCardStatus decodeSdStatus(const DataBlock& answer);

// What one status read decided.
struct SdStatusReport {
    std::string text;  // "Security: Enabled\n", "Security: Disabled", "nidle" or the slot error
    std::vector<ResultMessage> messages;  // in the order they are shown
    bool answered = false;                // a live card answered the read
    bool locked = false;                  // state after the read, for the window
    bool tempUnlocked = false;
    bool mediumChanged = false;  // the slot reported a card inserted or changed since its last command
};

// Applies the decision rules to an answer (or to no answer when `answered` is
// false: the read failed, the slot is empty or the card is idle). Every pending
// request ends with exactly one message: a request is only confirmed by an
// answer from a live card, so a failed read reports it as failed.
SdStatusReport decideSdStatus(SdState& state, const SdCardStatus& status, bool answered);

// Reports every pending request as failed, in the order lock, unlock,
// remove, erase, and clears them.
std::vector<ResultMessage> failPendingRequests(SdState& state);

// Sends SEND_STATUS through `handle` and decides. An invalid handle gives the
// text "Unable to open SD slot!!" and changes nothing. When the slot reports
// that its card was inserted or changed since the last command, a pending
// request belongs to another insertion: it fails, and the card is decided as
// a newly inserted one.
SdStatusReport ReadSdStatus(ReaderTransport& transport, SlotHandle handle, SdState& state);

// Marks the operation's request (clearing the other three) and sends CMD42
// with its data block, data-out. The caller waits 1000 ms and reads the status.
// When the reader does not answer GOOD the card did not take the command: the
// caller reports the request as failed (failPendingRequests) instead.
PassThroughResult SendSdLockUnlock(ReaderTransport& transport, SlotHandle handle, SdState& state,
                                   SdOperation operation, const std::string& password);

}  // namespace salvora::cardsec

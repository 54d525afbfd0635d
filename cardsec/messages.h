// Texts of the card commands: status texts, results and their captions.
#pragma once

namespace salvora::cardsec::text {

// Captions of every result message.
inline constexpr const char* kSuccess = "Success!";
inline constexpr const char* kFailed = "Failed!";
inline constexpr const char* kError = "Error!";
inline constexpr const char* kWarning = "Warning";
inline constexpr const char* kConfirmation = "Confirmation";

inline constexpr const char* kNoSdSlot = "Unable to open SD slot!!";
inline constexpr const char* kNoCfSlot = "Unable to open CF slot!!";

// SD status texts and results.
inline constexpr const char* kSecurityEnabled = "Security: Enabled\n";
inline constexpr const char* kSdSecurityDisabled = "Security: Disabled";
inline constexpr const char* kSdIdle = "nidle";
inline constexpr const char* kSdLocked = "SD card is now locked.";
inline constexpr const char* kSdLockFailed = "Unable to lock SD card!";
inline constexpr const char* kSdUnlocked =
    "SD card successfully unlocked.\nThe SD card will remain UNLOCKED until it is removed and re-inserted.";
inline constexpr const char* kSdUnlockFailed = "Unable to unlock SD card!";
inline constexpr const char* kSdRemoved = "SD card password protection successfully removed.";
inline constexpr const char* kSdRemoveFailed = "Unable to remove SD password!!";
inline constexpr const char* kSdErased =
    "SD card successfully erased. Please remember to format your card before use.";
inline constexpr const char* kSdEraseFailed = "Uuable to erase SD card!";

// CF status texts (IDENTIFY word 128) and results.
inline constexpr const char* kCfNoSecurity = "This card does not support security feature";
inline constexpr const char* kCfFrozen = "This card is Frozen\n";
inline constexpr const char* kCfSecurityDisabled = "Security: Disabled\n";
inline constexpr const char* kCfAttemptsExceeded =
    "Maximum number of failed login attemts exceeded.\nPlease reinsert card to try again.\n";
inline constexpr const char* kCfEnhancedErase = "Supports Enh. erase";
inline constexpr const char* kCfLevelMax = "Security level: Max\n";
inline constexpr const char* kEraseTimeOver = "Erase Time:Over 508 Minutes";
inline constexpr const char* kEraseTimeMinutes = "Erase Time:~ %d Minutes";

inline constexpr const char* kCfPasswordSet = "Password set. Please reinsert the CF card to lock it.";
inline constexpr const char* kCfSetPasswordFailed = "Unable to set password!";
inline constexpr const char* kCfUnlocked =
    "CF card successfully unlocked.\nThe CF card will remain UNLOCKED until it is removed and re-inserted.";
inline constexpr const char* kCfUnlockFailed = "Unable to unlock CF card!";
inline constexpr const char* kCfRemoved = "CF card password protection successfully removed.";
inline constexpr const char* kCfRemoveFailed = "Unable to remove CF password!";
inline constexpr const char* kCfErased =
    "CF card successfully erased. Please remember to format your card before use.";
inline constexpr const char* kCfPrepareFailed = "Preparing erasing CF card failed!";
inline constexpr const char* kCfEraseFailed = "Unable to erase CF card!";

// A card that stayed busy past the wait's limit.
inline constexpr const char* kCardDidNotAnswer = "The card did not answer.";
// A card taken out, put back or replaced after the look that the operation
// was chosen on: the operation is not sent.
inline constexpr const char* kSdCardChanged =
    "The SD card was taken out or replaced after it was read. Nothing was sent to the card; please check "
    "the card and try again.";
inline constexpr const char* kCfCardChanged =
    "The CF card was taken out or replaced after it was read. Nothing was sent to the card; please check "
    "the card and try again.";

// Display texts of the status line.
inline constexpr const char* kStatusLocked = "LOCKED";
inline constexpr const char* kStatusUnlocked = "UNLOCKED";

}  // namespace salvora::cardsec::text

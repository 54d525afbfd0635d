// Texts of the card protection program: information line, tooltips, progress
// texts, confirmations and the password panel.
#pragma once

namespace salvora::cardprotect::text {

inline constexpr const char* kConnectReader = "Please connect the Korvell QX7R USB 3.0 card reader !";
inline constexpr const char* kInsertCard = "Please insert your card !";
inline constexpr const char* kSelectCard = "Please select your card !";
inline constexpr const char* kSdNotInserted = "SD card is not inserted";
inline constexpr const char* kCfNotInserted = "CF card is not inserted";
inline constexpr const char* kReinsertSd = "Please re-insert your SD card to use the Cardwarden";
inline constexpr const char* kScanningCf = "Scanning CF card";
inline constexpr const char* kNeedsAdministrator = "Cardwarden requires Administrator Privileges.";
inline constexpr const char* kReaderBusy =
    "The card reader is busy with another program's operation. Please wait until it has finished.";
// A command line cannot know whether an SD card that is not locked was
// unlocked with its password since it was inserted.
inline constexpr const char* kSdNotLockedNow =
    "Not locked now. If this card has a password, it applies again when the card is re-inserted.";
inline constexpr const char* kOperationInProgress =
    "Security operation in progress! Please wait for the process to complete before closing the application.";

// Tooltips of the three action buttons.
inline constexpr const char* kTipSdUnlock = "Use your password to unlock this SD card";
inline constexpr const char* kTipSdLock =
    "The SD card will be immediately locked and protected\nNo card removal is necessary";
inline constexpr const char* kTipCfUnlock = "Use your password to unlock this CF card";
inline constexpr const char* kTipCfLock =
    "The CF card will remain unlocked until the next insertion\nPlease remember to remove and reinsert the "
    "card "
    "after initiating";
inline constexpr const char* kTipSdRemove = "Remove security protection on this SD card\n(password required)";
inline constexpr const char* kTipCfRemove = "Remove security protection on this CF card\n(password required)";
inline constexpr const char* kTipSdErase = "Erase all data on the card and removes password protection";
inline constexpr const char* kTipCfErase =
    "Erase all data on the card and removes password protection\n(correct password required)";

// Lock button captions.
inline constexpr const char* kCaptionLock = "Lock";
inline constexpr const char* kCaptionUnlock = "Unlock";

// Progress texts of the operations.
inline constexpr const char* kUnlockingSd = "Unlocking SD card. Please wait...";
inline constexpr const char* kLockingSd = "Locking SD card. Please wait...";
inline constexpr const char* kRemovingSd = "Removing Password on SD card. Please wait...";
inline constexpr const char* kErasingSd = "Erasing SD card,this may take a while. Please wait...";
inline constexpr const char* kLockingCf = "Locking CF card. Please wait...";
inline constexpr const char* kUnlockingCf = "Unlocking CF card. Please wait...";
inline constexpr const char* kRemovingCf = "Removing Password on CF card. Please wait...";
inline constexpr const char* kPreparingEraseCf = "Preparing erasing CF card. Please wait...";
inline constexpr const char* kErasingCf = "Erasing CF card,this may take a while. Please wait...";

inline constexpr const char* kEraseConfirmation =
    "This function will peramanently erase all data stored on the memory card.\nData recovery will be "
    "impossible. Use at your own risk.\nDo you really want to erase all data on this card?";

// Password panel.
inline constexpr const char* kSetModeSd =
    "SD card will be locked immediately.\nOnly the correct password will unlock the card for access.";
inline constexpr const char* kSetModeCf =
    "The CF will be locked upon next insertion.\nUpon reinsertion, the correct password will be required for "
    "access.";
inline constexpr const char* kEntrySdRemove = "Password security on this SD card will be removed.";
inline constexpr const char* kEntrySdUnlock =
    "Unlock your SD card for temporary access.\nThe card will be re-locked upon removal.";
inline constexpr const char* kEntryCfRemove =
    "Password will be erased and security protection will be removed.";
inline constexpr const char* kEntryCfErase =
    "All data on this CF card will be erased and security protection removed.\n%s";
inline constexpr const char* kEntryCfUnlock =
    "Unlock your CF card for temporary access.\nThe card will be re-locked upon removal.";
inline constexpr const char* kSpaceNotAllowed = "Space key is not allowed!";
inline constexpr const char* kPasswordEmpty = "Password field is empty. Please enter a password.";
inline constexpr const char* kPasswordMismatch = "Password fields do not match. Please retype the password.";
inline constexpr const char* kPasswordTooLong = "The password is too long. Please use at most 31 characters.";
inline constexpr const char* kPasswordNotAscii =
    "The password may only contain the letters A-Z and a-z, digits and the punctuation marks of an "
    "English keyboard (no accented letters, tabs or other control characters), so that it can be typed "
    "again on any computer.";
inline constexpr const char* kConfirmCfPassword =
    "The password you set is\n%s\nPlease do not lose it.\nReminder: The CF card will remain UNLOCKED until "
    "it "
    "is removed and re-inserted.\n\n*Not all cards support built-in security functions.\n  Please check the "
    "memory card manufacturer for compatibility details.\n\nDo you really want to lock this card?";
inline constexpr const char* kConfirmSdPassword =
    "The password you set is\n%s\nPlease do not lose it.\n\n*Not all cards support built-in security "
    "functions.\n  Please check the memory card manufacturer for compatibility details.\n\nDo you really "
    "want "
    "to lock this card right now?";

}  // namespace salvora::cardprotect::text

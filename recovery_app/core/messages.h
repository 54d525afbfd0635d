// Texts the recovery program shows, shared by the window and the command line.
#pragma once

namespace salvora::messages {

inline constexpr const char* kRecoveryComplete = "Recovery Complete - %d Files Recovered.";
inline constexpr const char* kGetPartitionFail = "Get Partition Fail !!!";
inline constexpr const char* kSelectPartition = "Please Select a Partition...";
inline constexpr const char* kSelectDisk = "Please Select a Disk...";
inline constexpr const char* kSelectFileType = "Please select at least one file type.";
inline constexpr const char* kElapsedTime = "%d Hr : %d Min : %d Sec";
inline constexpr const char* kDefaultSavedFolder = "Saved Files";
// The destination lies on the disk being recovered; filled with the
// destination and the disk's name, then followed by one of the two endings.
inline constexpr const char* kSameDisk =
    "Your Saved Path(%s) is identical to the recovery disk(%s),this will render your lost files "
    "unrecoverable.\n";
inline constexpr const char* kSameDiskEndingWindow =
    "Please select another saved location under 'Settings' menu.";
inline constexpr const char* kSameDiskEndingCommandLine = "Please select another saved location with --out.";
inline constexpr const char* kNoName = "NO NAME";
inline constexpr const char* kUnknown = "Unknown";

// --- The window ---
inline constexpr const char* kProductName = "Salvora";
inline constexpr const char* kDefaultSavedPath = "C:\\Saved Files\\";
inline constexpr const char* kWarningCaption = "WARNING";
// The caption of the list warnings, spelled as users have always seen it.
inline constexpr const char* kListWarningCaption = "WARNNING";
inline constexpr const char* kErrorCaption = "ERROR";
inline constexpr const char* kAdministratorRequired = "Salvora requires Administrator Privileges.";
inline constexpr const char* kOnlyEnglish = "Please use ONLY ENGLISH for Path/Folder Name !!!";
inline constexpr const char* kDetecting = "Detecting...";
inline constexpr const char* kAgreementCaption = "End-User License Agreement";

// --- Companion programs ---
inline constexpr const char* kCompanionErrorCaption = "Error!";
inline constexpr const char* kLaunchFailed = "Launch failed";
inline constexpr const char* kLaunchFailedCaption = "FAIL";
inline constexpr const char* kFormatToolMissing = "Blankwise.exe does not exists";
inline constexpr const char* kFormatLibraryMissing = "Blankwise.exe requires Blankwisecore.dll to run";
inline constexpr const char* kReaderMissing = "This function requires the Korvell QX7R USB 3.0 card reader!";
inline constexpr const char* kProtectionToolMissing = "Lockwright.exe does not exists";
inline constexpr const char* kProtectionQuestion =
    "Not all cards support built-in security functions.\nPlease check the memory card manufacturer for "
    "compatibility details.\nDo you want to continue?";

}  // namespace salvora::messages

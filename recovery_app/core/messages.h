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

}  // namespace salvora::messages

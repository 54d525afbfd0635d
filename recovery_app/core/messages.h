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

}  // namespace salvora::messages

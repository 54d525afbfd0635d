// "salvora recover": recovers files from a disk image (or a disk) into a folder.
#pragma once

namespace salvora::cli {

// Runs the command with argv[first..argc); returns the exit status.
int recoverCommand(int argc, char** argv, int first);

// The help text of the command.
const char* recoverUsage();

}  // namespace salvora::cli

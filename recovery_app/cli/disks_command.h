// "salvora disks": lists the disks that can be recovered from.
#pragma once

namespace salvora::cli {

// Runs the command with argv[first..argc); returns the exit status.
int disksCommand(int argc, char** argv, int first);

// The help text of the command.
const char* disksUsage();

}  // namespace salvora::cli

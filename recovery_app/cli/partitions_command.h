// "salvora partitions": lists the partitions of a disk or a disk image.
#pragma once

namespace salvora::cli {

// Runs the command with argv[first..argc); returns the exit status.
int partitionsCommand(int argc, char** argv, int first);

// The help text of the command.
const char* partitionsUsage();

}  // namespace salvora::cli

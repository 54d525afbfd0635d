// What the head of a recovery report tells about the recovery: salvora's
// version, the command line, when it started and the medium it read.
#pragma once

#include <cstdint>
#include <string>

#include "recovery_app/cli/medium_choice.h"
#include "recovery_app/core/report.h"

namespace salvora::cli {

// The words of argv[0..argc) as one line; a word that the shell would split
// or expand is put in single quotes.
std::string commandLineText(int argc, char** argv);

// The head of the report of a recovery of `chosen` started now with the
// command line argv; `partition` is the partition recovered (from 1), or 0
// for the whole medium.
ReportSource reportSource(int argc, char** argv, const ChosenMedium& chosen, uint32_t partition);

}  // namespace salvora::cli

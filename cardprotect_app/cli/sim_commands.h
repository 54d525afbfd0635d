// lockwright sim: sets up and changes the cards of the simulated reader.
#pragma once

#include "cardprotect_app/cli/command_line.h"

namespace salvora::lockwright {

// Runs "sim VERB [sd|cf]" on the state file line.simulate. Returns an exit code.
int simCommand(const CommandLine& line);

}  // namespace salvora::lockwright

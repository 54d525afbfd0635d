// Exit statuses of the lockwright command line.
#pragma once

namespace salvora::lockwright {

enum ExitCode : int {
    kExitSuccess = 0,       // the card confirmed the operation, or the status was shown
    kExitFailed = 1,        // the card refused or did not confirm the operation
    kExitUsage = 2,         // the command line is wrong
    kExitNoCard = 3,        // no reader, no card in the slot, or the slot cannot be opened
    kExitNotAvailable = 4,  // the action is not offered for this card in its present state
    kExitCancelled = 5,     // answered No, or no acceptable password was given
    kExitNoRights = 6,      // not allowed to send commands to the reader (run as root)
    kExitSimulation = 7,    // the simulation state file cannot be read or written
    kExitBusy = 8,          // another program holds the reader, or the card did not answer in time
};

}  // namespace salvora::lockwright

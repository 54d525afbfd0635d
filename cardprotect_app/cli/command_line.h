// The words of a lockwright command line.
#pragma once

#include <optional>
#include <string>

namespace salvora::lockwright {

struct CommandLine {
    std::string command;   // status, lock, unlock, remove-password, erase, sim; empty with --help
    std::string simulate;  // state file of the simulated reader; empty for the real one
    std::string slot;      // "sd", "cf" or empty
    bool help = false;
    bool version = false;

    // sim VERB [sd|cf] and its options.
    std::string simVerb;  // insert, remove, power-cycle, unplug, plug, show, fault
    std::string simSlot;
    std::string simFault;  // refuse, stuck-busy, clear
    std::optional<std::string> password;
    bool locked = false, unlocked = false, frozen = false;
    bool enhancedErase = false, levelMax = false;
    int eraseUnits = 1;
    double eraseSeconds = 3.0;
};

// Parses argv[1..argc). Options may come before or after the command. An
// empty --simulate or --slot, or one given twice with different values, is
// refused. Returns false with a message for the user in `error`.
bool parseCommandLine(int argc, char** argv, CommandLine& line, std::string& error);

}  // namespace salvora::lockwright

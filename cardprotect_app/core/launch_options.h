// The command line of the Cardwarden window program: an optional first word
// "runas" marks the elevated copy, "--simulate STATE" (or "--simulate=STATE")
// runs the window against the simulated reader kept in the file STATE, and
// every other word (such as the " -start" of the recovery program) is
// ignored. A --simulate that names no file, an empty one, or two different
// ones is a mistake, never a reason to fall back to the real reader.
#pragma once

#include <string>
#include <vector>

namespace salvora::cardprotect {

struct LaunchOptions {
    bool elevatedCopy = false;         // the first argument is exactly "runas"
    std::string simulate;              // state file of the simulated reader; empty for the real reader
    bool simulateMissingFile = false;  // "--simulate" named no file (last word, or an empty one)
    bool simulateConflict = false;     // "--simulate" named two different files
};

// Reads the arguments that follow the program's name.
LaunchOptions parseLaunchOptions(const std::vector<std::string>& arguments);

// The parameters of the elevated copy: "runas", then every argument of this
// start except an own leading "runas", each quoted when it holds a space or
// is empty, so the copy opens the same simulated reader.
std::string elevatedParameters(const std::vector<std::string>& arguments);

}  // namespace salvora::cardprotect

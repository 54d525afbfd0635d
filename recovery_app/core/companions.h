// The companion programs the window starts: the maker's format tool and the
// card protection program. What is checked before one is started, in order.
#pragma once

#include <functional>
#include <string>

namespace salvora {

enum class Companion { kFormatTool, kProtectionTool };

// Files looked for in the current folder, and the command line both get.
inline constexpr const char* kFormatToolFile = "Blankwise.exe";
inline constexpr const char* kFormatLibraryFile = "Blankwisecore.dll";
inline constexpr const char* kProtectionToolFile = "Lockwright.exe";
inline constexpr const char* kCompanionCommandLine = " -start";

struct CompanionLaunch {
    std::string error;      // shown (titled "Error!") instead of starting; empty when it may start
    std::string program;    // the file to start
    bool askFirst = false;  // ask kProtectionQuestion first; No starts nothing
};

// The format tool needs its program and its library; the protection program
// needs the maker's card reader (checked first) and its program. `exists`
// tells whether a file of the current folder exists.
CompanionLaunch planCompanionLaunch(Companion companion, bool makerReaderPresent,
                                    const std::function<bool(const std::string&)>& exists);

}  // namespace salvora

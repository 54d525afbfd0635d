// The command line of the window program:
//   salvora.exe [runas] [--image FILE [--mounted DRIVES]]...
// "runas" as the first word marks the copy started with administrator
// rights. Each --image lists an image file as a disk after the physical
// drives; --mounted names the drives ("E:" or "E:F:") under which the image
// just named is mounted, so that a destination on them is refused like one
// on the disk being recovered. Other words (such as "-start") are ignored.
#pragma once

#include <string>
#include <vector>

namespace salvora {

struct ImageArgument {
    std::string path;           // UTF-8
    std::string mountedDrives;  // drive names run together, upper case ("E:F:"); empty when not mounted
};

struct StartArguments {
    bool elevatedCopy = false;
    std::vector<ImageArgument> images;
    std::vector<std::string> problems;  // sentences about words that could not be used
};

// Reads the words after the program's name (UTF-8).
StartArguments parseStartArguments(const std::vector<std::string>& words);

// The parameters for the copy started with administrator rights: "runas"
// followed by the original words, each quoted so that the system splits them
// back into the same words.
std::string elevatedParameters(const std::vector<std::string>& words);

// `word` quoted for a Windows command line when it needs it (blanks, quotes
// or nothing at all), with backslashes doubled where the splitting rules ask.
std::string quoteArgument(const std::string& word);

}  // namespace salvora

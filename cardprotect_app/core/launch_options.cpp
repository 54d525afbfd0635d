#include "cardprotect_app/core/launch_options.h"

namespace salvora::cardprotect {

namespace {

constexpr const char* kElevatedMark = "runas";
constexpr const char* kSimulateOption = "--simulate";

// Quotes a word for the Windows command-line splitter: backslashes before a
// quote are doubled, and a quote inside the word is escaped.
std::string quoted(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos)
        return word;
    std::string text = "\"";
    size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        text.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, '\\');
    return text + "\"";
}

}  // namespace

LaunchOptions parseLaunchOptions(const std::vector<std::string>& arguments) {
    LaunchOptions options;
    options.elevatedCopy = !arguments.empty() && arguments.front() == kElevatedMark;
    const std::string inlineForm = std::string(kSimulateOption) + "=";
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string file;
        if (arguments[i].rfind(inlineForm, 0) == 0) {
            file = arguments[i].substr(inlineForm.size());
        } else if (arguments[i] != kSimulateOption) {
            continue;
        } else if (i + 1 < arguments.size()) {
            file = arguments[++i];
        }
        if (file.empty()) {
            options.simulateMissingFile = true;
        } else if (!options.simulate.empty() && options.simulate != file) {
            options.simulateConflict = true;
        } else {
            options.simulate = file;
        }
    }
    return options;
}

std::string elevatedParameters(const std::vector<std::string>& arguments) {
    std::string parameters = kElevatedMark;
    const bool ownMark = !arguments.empty() && arguments.front() == kElevatedMark;
    for (size_t i = ownMark ? 1 : 0; i < arguments.size(); ++i)
        parameters += " " + quoted(arguments[i]);
    return parameters;
}

}  // namespace salvora::cardprotect

#include "recovery_app/core/start_arguments.h"

#include <cctype>

namespace salvora {

namespace {

constexpr const char* kElevatedMark = "runas";

// "E:" or "E:F:..." in upper case, or empty when `text` is not such a list.
std::string driveList(const std::string& text) {
    if (text.empty() || text.size() % 2 != 0)
        return {};
    std::string drives;
    for (size_t at = 0; at < text.size(); at += 2) {
        const auto letter = static_cast<unsigned char>(text[at]);
        if (!std::isalpha(letter) || text[at + 1] != ':')
            return {};
        drives += static_cast<char>(std::toupper(letter));
        drives += ':';
    }
    return drives;
}

void readMounted(const std::string& value, StartArguments& arguments) {
    if (arguments.images.empty()) {
        arguments.problems.push_back("--mounted " + value + " names no image: it must follow --image FILE.");
        return;
    }
    const std::string drives = driveList(value);
    if (drives.empty()) {
        arguments.problems.push_back("--mounted " + value + " is not a list of drives such as E: or E:F:.");
        return;
    }
    arguments.images.back().mountedDrives = drives;
}

}  // namespace

StartArguments parseStartArguments(const std::vector<std::string>& words) {
    StartArguments arguments;
    size_t at = 0;
    if (!words.empty() && words.front() == kElevatedMark) {
        arguments.elevatedCopy = true;
        at = 1;
    }
    for (; at < words.size(); ++at) {
        const std::string& word = words[at];
        if (word != "--image" && word != "--mounted")
            continue;
        if (at + 1 == words.size()) {
            arguments.problems.push_back(word + " needs a value after it.");
            break;
        }
        const std::string& value = words[++at];
        if (word == "--image") {
            arguments.images.push_back({value, {}});
        } else {
            readMounted(value, arguments);
        }
    }
    return arguments;
}

std::string quoteArgument(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string::npos)
        return word;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    // Backslashes before the closing quote are doubled.
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

std::string elevatedParameters(const std::vector<std::string>& words) {
    std::string parameters = kElevatedMark;
    for (const std::string& word : words)
        parameters += " " + quoteArgument(word);
    return parameters;
}

}  // namespace salvora

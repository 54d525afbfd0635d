#include "cardprotect_app/cli/command_line.h"

#include <cstdlib>
#include <set>
#include <vector>

namespace salvora::lockwright {

namespace {

const std::set<std::string> kCommands = {"status", "lock", "unlock", "remove-password", "erase", "sim"};
const std::set<std::string> kSimVerbs = {"insert", "remove", "power-cycle", "unplug",
                                         "plug",   "show",   "fault"};
const std::set<std::string> kSimFaults = {"refuse", "stuck-busy", "clear"};

bool isSlot(const std::string& word) {
    return word == "sd" || word == "cf";
}

struct Parser {
    int argc;
    char** argv;
    int at = 1;
    std::string error;

    // The value of option `name`, inline ("--x=v") or the next word.
    bool value(const std::string& name, const std::string& inlineValue, bool hasInline, std::string& out) {
        if (hasInline) {
            out = inlineValue;
            return true;
        }
        if (at + 1 >= argc) {
            error = "The option --" + name + " needs a value.";
            return false;
        }
        out = argv[++at];
        return true;
    }
};

bool parseNumber(const std::string& text, double low, double high, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && out >= low && out <= high;
}

// --simulate and --slot say what is worked on: an empty value, or a second
// one that differs, is a mistake and never falls back to a default (the real
// reader, or some slot).
bool setTarget(Parser& parser, const std::string& name, const std::string& value, std::string& target) {
    if (value.empty()) {
        parser.error =
            name == "simulate" ? "--simulate needs the name of the state file." : "--slot takes sd or cf.";
        return false;
    }
    if (!target.empty() && target != value) {
        parser.error = "--" + name + " is given twice with different values (" + target + ", " + value + ").";
        return false;
    }
    target = value;
    return true;
}

bool applyOption(Parser& parser, const std::string& word, CommandLine& line) {
    std::string name = word.substr(2), inlineValue;
    const size_t equals = name.find('=');
    const bool hasInline = equals != std::string::npos;
    if (hasInline) {
        inlineValue = name.substr(equals + 1);
        name = name.substr(0, equals);
    }
    std::string text;
    double number = 0;
    if (name == "simulate" || name == "slot") {
        if (!parser.value(name, inlineValue, hasInline, text))
            return false;
        return setTarget(parser, name, text, name == "simulate" ? line.simulate : line.slot);
    }
    if (name == "help")
        return line.help = true;
    if (name == "version")
        return line.version = true;
    if (name == "locked")
        return line.locked = true;
    if (name == "unlocked")
        return line.unlocked = true;
    if (name == "frozen")
        return line.frozen = true;
    if (name == "enhanced-erase")
        return line.enhancedErase = true;
    if (name == "level-max")
        return line.levelMax = true;
    if (name == "password") {
        if (!parser.value(name, inlineValue, hasInline, text))
            return false;
        line.password = text;
        return true;
    }
    if (name == "erase-units" || name == "erase-seconds") {
        if (!parser.value(name, inlineValue, hasInline, text))
            return false;
        const bool units = name == "erase-units";
        if (!parseNumber(text, 0, units ? 255 : 86400, number) ||
            (units && number != static_cast<int>(number))) {
            parser.error = "The option --" + name +
                           (units ? " takes a whole number from 0 to 255."
                                  : " takes a number of seconds from 0 to 86400.");
            return false;
        }
        if (units) {
            line.eraseUnits = static_cast<int>(number);
        } else {
            line.eraseSeconds = number;
        }
        return true;
    }
    parser.error = "Unknown option --" + name + ".";
    return false;
}

bool checkCommand(const std::vector<std::string>& words, CommandLine& line, std::string& error) {
    if (words.empty()) {
        if (line.help || line.version)
            return true;
        error = "Please name a command.";
        return false;
    }
    line.command = words[0];
    if (!kCommands.count(line.command)) {
        error = "Unknown command \"" + line.command + "\".";
        return false;
    }
    if (line.command != "sim") {
        if (line.password || line.locked || line.unlocked || line.frozen || line.enhancedErase ||
            line.levelMax) {
            error = "The card options are only for sim insert; lockwright asks for passwords itself.";
            return false;
        }
        if (words.size() > 1) {
            error = "Unexpected word \"" + words[1] + "\".";
            return false;
        }
        if (!line.slot.empty() && !isSlot(line.slot)) {
            error = "--slot takes sd or cf.";
            return false;
        }
        if (line.command != "status" && line.slot.empty() && !line.help) {
            error = "Please choose the card with --slot sd or --slot cf.";
            return false;
        }
        return true;
    }
    if (words.size() < 2 || !kSimVerbs.count(words[1])) {
        if (line.help)
            return true;
        error = "sim needs one of: insert, remove, power-cycle, unplug, plug, show, fault.";
        return false;
    }
    line.simVerb = words[1];
    const bool fault = line.simVerb == "fault";
    const bool needsSlot =
        line.simVerb == "insert" || line.simVerb == "remove" || line.simVerb == "power-cycle" || fault;
    const size_t expected = fault ? 4 : needsSlot ? 3 : 2;
    if (words.size() != expected || (needsSlot && !isSlot(words[2])) ||
        (fault && !kSimFaults.count(words[3]))) {
        error = fault       ? "sim fault needs the slot and the fault: sd|cf refuse|stuck-busy|clear."
                : needsSlot ? "sim " + line.simVerb + " needs the slot: sd or cf."
                            : "Too many words after sim " + line.simVerb + ".";
        return false;
    }
    if (needsSlot)
        line.simSlot = words[2];
    if (fault)
        line.simFault = words[3];
    return true;
}

}  // namespace

bool parseCommandLine(int argc, char** argv, CommandLine& line, std::string& error) {
    Parser parser{argc, argv};
    std::vector<std::string> words;
    bool onlyWords = false;
    for (; parser.at < argc; ++parser.at) {
        const std::string word = argv[parser.at];
        if (word == "--") {
            onlyWords = true;
        } else if (!onlyWords && word == "-h") {
            line.help = true;
        } else if (!onlyWords && word.size() > 2 && word.compare(0, 2, "--") == 0) {
            if (!applyOption(parser, word, line)) {
                error = parser.error;
                return false;
            }
        } else {
            words.push_back(word);
        }
    }
    return checkCommand(words, line, error);
}

}  // namespace salvora::lockwright

#include "recovery_app/cli/arguments.h"

namespace salvora::cli {

namespace {
const OptionRule* findRule(const std::vector<OptionRule>& rules, const std::string& name) {
    for (const OptionRule& rule : rules) {
        if (rule.name == name)
            return &rule;
    }
    return nullptr;
}
}  // namespace

bool Arguments::parse(int argc, char** argv, int first, const std::vector<OptionRule>& rules,
                      std::string& error) {
    bool onlyPositional = false;
    for (int i = first; i < argc; ++i) {
        std::string word = argv[i];
        if (onlyPositional || word.size() < 2 || word.compare(0, 2, "--") != 0) {
            positional_.push_back(word);
            continue;
        }
        if (word == "--") {
            onlyPositional = true;
            continue;
        }
        std::string name = word.substr(2);
        std::string value;
        bool inlineValue = false;
        if (const size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            inlineValue = true;
        }
        const OptionRule* rule = findRule(rules, name);
        if (!rule) {
            error = "Unknown option --" + name + ".";
            return false;
        }
        if (!rule->takesValue) {
            if (inlineValue) {
                error = "The option --" + name + " takes no value.";
                return false;
            }
            flags_.insert(name);
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= argc || std::string(argv[i + 1]).rfind("--", 0) == 0) {
                error = "The option --" + name + " needs a value.";
                return false;
            }
            value = argv[++i];
        }
        std::vector<std::string>& list = values_[name];
        if (!list.empty() && !rule->repeatable) {
            error = "The option --" + name + " was given twice.";
            return false;
        }
        list.push_back(value);
    }
    return true;
}

std::string Arguments::value(const std::string& name, const std::string& fallback) const {
    const auto found = values_.find(name);
    return found == values_.end() || found->second.empty() ? fallback : found->second.back();
}

const std::vector<std::string>& Arguments::values(const std::string& name) const {
    static const std::vector<std::string> none;
    const auto found = values_.find(name);
    return found == values_.end() ? none : found->second;
}

}  // namespace salvora::cli

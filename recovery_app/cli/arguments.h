// A small command-line parser: options with values ("--out DIR" or
// "--out=DIR"), flags ("--quiet") and positional words.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace salvora::cli {

struct OptionRule {
    std::string name;  // without the leading dashes
    bool takesValue;
    bool repeatable = false;
};

class Arguments {
  public:
    // Parses argv[first..argc). Returns false with a message in `error` on an
    // unknown option, a missing value or a repeated single option.
    bool parse(int argc, char** argv, int first, const std::vector<OptionRule>& rules, std::string& error);

    bool has(const std::string& name) const { return values_.count(name) != 0 || flags_.count(name) != 0; }
    // The (last) value of an option, or `fallback`.
    std::string value(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& values(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }

  private:
    std::map<std::string, std::vector<std::string>> values_;
    std::set<std::string> flags_;
    std::vector<std::string> positional_;
};

}  // namespace salvora::cli

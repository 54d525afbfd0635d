// The command line's side of the window logic: messages become printed lines,
// questions and passwords are read from standard input (without echo on a
// terminal, as plain lines otherwise, so that scripts can answer them).
#pragma once

#include <cstdio>
#include <string>

#include "cardprotect_app/core/workflow_ui.h"

namespace salvora::lockwright {

class TerminalUi : public cardprotect::WorkflowUi {
  public:
    // Reads answers from `in`; prints results on `out`, failures, prompts and
    // questions on `err`. `terminal`: `in` is a terminal (passwords without echo).
    TerminalUi(std::FILE* in, std::FILE* out, std::FILE* err, bool terminal);

    void showMessage(const cardsec::ResultMessage& message) override;
    bool askYesNo(const cardsec::ResultMessage& question) override;
    std::optional<cardprotect::PasswordEntry> askPassword(
        const cardprotect::PanelSettings& settings) override;
    void infoLineChanged(const std::string& text) override;

    // While set, every new information line (progress texts) is printed.
    void setEchoInfoLine(bool echo) { echo_ = echo; }

  private:
    bool readLine(std::string& line);
    bool readSecret(const char* prompt, std::string& secret);

    std::FILE* in_;
    std::FILE* out_;
    std::FILE* err_;
    bool terminal_;
    bool echo_ = false;
    std::string lastInfo_;
};

// The text with every line after the first indented by `indent` spaces.
std::string indentLines(const std::string& text, size_t indent);

}  // namespace salvora::lockwright

#include "cardprotect_app/cli/terminal_ui.h"

#include <termios.h>
#include <unistd.h>

#include <csignal>

#include "cardprotect_app/core/password_panel.h"
#include "cardsec/messages.h"

namespace salvora::lockwright {

namespace {

// Echo is switched off while a password is typed; a Ctrl-C then must not leave
// the terminal silent.
struct termios savedTerminal;
volatile sig_atomic_t echoOff = 0;

void restoreAndExit(int signal) {
    if (echoOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool isFailureCaption(const std::string& caption) {
    return caption == cardsec::text::kFailed || caption == cardsec::text::kError ||
           caption == cardsec::text::kWarning;
}

std::string lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string indentLines(const std::string& text, size_t indent) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        result += text[i];
        const bool lineFollows = i + 1 < text.size() && text[i + 1] != '\n';
        if (text[i] == '\n' && lineFollows)
            result.append(indent, ' ');
    }
    while (!result.empty() && (result.back() == ' ' || result.back() == '\n'))
        result.pop_back();
    return result;
}

TerminalUi::TerminalUi(std::FILE* in, std::FILE* out, std::FILE* err, bool terminal)
    : in_(in), out_(out), err_(err), terminal_(terminal) {}

void TerminalUi::showMessage(const cardsec::ResultMessage& message) {
    std::FILE* stream = isFailureCaption(message.caption) ? err_ : out_;
    std::fprintf(stream, "%s %s\n", message.caption.c_str(),
                 indentLines(message.text, message.caption.size() + 1).c_str());
    std::fflush(stream);
}

bool TerminalUi::askYesNo(const cardsec::ResultMessage& question) {
    for (;;) {
        std::fprintf(err_, "%s %s [y/n] ", question.caption.c_str(),
                     indentLines(question.text, question.caption.size() + 1).c_str());
        std::fflush(err_);
        std::string answer;
        if (!readLine(answer)) {
            std::fputs("\n", err_);
            return false;
        }
        if (!terminal_)
            std::fputs("\n", err_);
        answer = lowered(answer);
        if (answer == "y" || answer == "yes")
            return true;
        if (answer == "n" || answer == "no")
            return false;
        std::fputs("Please answer y or n.\n", err_);
    }
}

std::optional<cardprotect::PasswordEntry> TerminalUi::askPassword(
    const cardprotect::PanelSettings& settings) {
    cardprotect::PasswordEntry entry;
    if (!readSecret(settings.setMode ? "New password: " : "Password: ", entry.password))
        return std::nullopt;
    if (settings.setMode && !readSecret("Password again: ", entry.confirmation))
        return std::nullopt;
    return entry;
}

void TerminalUi::infoLineChanged(const std::string& text) {
    if (!echo_ || text == lastInfo_)
        return;
    lastInfo_ = text;
    if (text.empty())
        return;
    std::fprintf(out_, "%s\n", indentLines(text, 0).c_str());
    std::fflush(out_);
}

bool TerminalUi::readLine(std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(in_)) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (c == EOF && line.empty())
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

bool TerminalUi::readSecret(const char* prompt, std::string& secret) {
    std::fputs(prompt, err_);
    std::fflush(err_);
    if (!terminal_) {
        const bool read = readLine(secret);
        std::fputs("\n", err_);
        return read;
    }
    tcgetattr(fileno(in_), &savedTerminal);
    struct termios quiet = savedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    echoOff = 1;
    const auto previous = std::signal(SIGINT, restoreAndExit);
    tcsetattr(fileno(in_), TCSAFLUSH, &quiet);
    const bool read = readLine(secret);
    tcsetattr(fileno(in_), TCSANOW, &savedTerminal);
    echoOff = 0;
    std::signal(SIGINT, previous);
    std::fputs("\n", err_);
    return read;
}

}  // namespace salvora::lockwright

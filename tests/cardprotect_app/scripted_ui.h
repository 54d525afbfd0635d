// A front end for tests: records what the window logic shows and answers its
// questions and password requests from scripts.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "cardprotect_app/core/password_panel.h"
#include "cardprotect_app/core/workflow_ui.h"

namespace salvora::test {

class ScriptedUi : public cardprotect::WorkflowUi {
  public:
    std::vector<cardsec::ResultMessage> messages;
    std::vector<std::string> questions;
    std::vector<std::string> infoLines;
    std::vector<std::string> events;  // messages, questions, info lines and panel closes, in order
    std::deque<bool> answers;         // default No when empty
    std::deque<std::optional<cardprotect::PasswordEntry>> passwords;
    std::function<void()> onAskYesNo;
    int panelsClosed = 0;
    // Calls into this front end made after a hand-over to the window thread
    // ended; a worker must make none, because the window may be gone by then.
    int callsAfterHandOver = 0;
    bool handedOver = false;

    void showMessage(const cardsec::ResultMessage& message) override {
        noteCall();
        messages.push_back(message);
        events.push_back("message " + message.caption + " " + message.text);
    }
    bool askYesNo(const cardsec::ResultMessage& question) override {
        noteCall();
        questions.push_back(question.text);
        events.push_back("ask " + question.caption);
        if (onAskYesNo)
            onAskYesNo();
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<cardprotect::PasswordEntry> askPassword(const cardprotect::PanelSettings&) override {
        events.push_back("password");
        if (passwords.empty())
            return std::nullopt;
        auto entry = passwords.front();
        passwords.pop_front();
        return entry;
    }
    void infoLineChanged(const std::string& text) override {
        noteCall();
        infoLines.push_back(text);
        events.push_back("info " + text);
    }
    void viewChanged(const cardprotect::ViewState&) override { noteCall(); }
    void runOnWindowThread(const std::function<void()>& work) override {
        handedOver = false;
        work();
        handedOver = true;
    }
    void closePasswordPanel() override {
        noteCall();
        ++panelsClosed;
        events.push_back("close panel");
    }

    // Scripts one set-mode entry (typed twice) or one entry-mode entry.
    void typeTwice(const std::string& password) {
        passwords.push_back(cardprotect::PasswordEntry{password, password});
    }
    void type(const std::string& password) { passwords.push_back(cardprotect::PasswordEntry{password, ""}); }
    void noteCall() {
        if (handedOver)
            ++callsAfterHandOver;
    }
    bool sawInfo(const std::string& text) const {
        for (const std::string& line : infoLines) {
            if (line == text)
                return true;
        }
        return false;
    }
};

}  // namespace salvora::test

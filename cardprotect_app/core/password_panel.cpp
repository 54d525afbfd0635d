#include "cardprotect_app/core/password_panel.h"

#include <algorithm>
#include <cstdio>

#include "cardprotect_app/core/app_texts.h"
#include "cardsec/cf_commands.h"
#include "cardsec/messages.h"

namespace salvora::cardprotect {

namespace {

using cardsec::MessageIcon;
using cardsec::ResultMessage;

std::string formatWith(const char* format, const std::string& value) {
    const int size = std::snprintf(nullptr, 0, format, value.c_str());
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, value.c_str());
    text.resize(static_cast<size_t>(size));
    return text;
}

std::string entryText(const PanelSettings& settings) {
    if (settings.cardType == CardType::kSd)
        return settings.remove ? text::kEntrySdRemove : text::kEntrySdUnlock;
    if (settings.remove)
        return text::kEntryCfRemove;
    if (settings.erase)
        return formatWith(text::kEntryCfErase, cardsec::EraseTimeText(settings.eraseTimeByte));
    return text::kEntryCfUnlock;
}

PanelResult refuse(PanelVerdict verdict, const char* message, const char* caption, WorkflowUi& ui) {
    ui.showMessage(ResultMessage{message, caption, MessageIcon::kStop});
    return PanelResult{verdict, PasswordBuffer()};
}

}  // namespace

PasswordBuffer::PasswordBuffer(const std::string& text) {
    bytes_.fill(0);
    std::copy_n(text.begin(), std::min(text.size(), kMaxPasswordLength), bytes_.begin());
}

std::string PasswordBuffer::text() const {
    const auto end = std::find(bytes_.begin(), bytes_.end(), '\0');
    return std::string(bytes_.begin(), end);
}

std::string explanationText(const PanelSettings& settings) {
    if (settings.setMode)
        return settings.cardType == CardType::kSd ? text::kSetModeSd : text::kSetModeCf;
    return entryText(settings);
}

bool fieldsMatch(const std::string& password, const std::string& confirmation) {
    return !password.empty() && password == confirmation;
}

bool refusesCharacter(bool setMode, char typed) {
    return setMode && typed == ' ';
}

bool printableAscii(const std::string& password) {
    return std::all_of(password.begin(), password.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::string lockConfirmationText(CardType cardType, const std::string& password) {
    return formatWith(cardType == CardType::kCf ? text::kConfirmCfPassword : text::kConfirmSdPassword,
                      password);
}

PanelResult acceptPassword(const PanelSettings& settings, const PasswordEntry& entry, WorkflowUi& ui) {
    using cardsec::text::kError;
    using cardsec::text::kWarning;
    const std::string& typed = entry.password;
    if (typed.empty())
        return refuse(PanelVerdict::kEmpty, text::kPasswordEmpty, kWarning, ui);
    if (!printableAscii(typed))
        return refuse(PanelVerdict::kNotAscii, text::kPasswordNotAscii, kWarning, ui);
    if (typed.size() > kMaxPasswordLength)
        return refuse(PanelVerdict::kTooLong, text::kPasswordTooLong, kWarning, ui);
    if (settings.setMode) {
        if (typed.find(' ') != std::string::npos) {
            return refuse(PanelVerdict::kHasSpace, text::kSpaceNotAllowed, kError, ui);
        }
        if (entry.confirmation != typed) {
            return refuse(PanelVerdict::kMismatch, text::kPasswordMismatch, kWarning, ui);
        }
        const ResultMessage question{lockConfirmationText(settings.cardType, typed),
                                     cardsec::text::kConfirmation, MessageIcon::kQuestion};
        if (!ui.askYesNo(question))
            return PanelResult{PanelVerdict::kDeclined, PasswordBuffer()};
    }
    return PanelResult{PanelVerdict::kAccepted, PasswordBuffer(typed)};
}

}  // namespace salvora::cardprotect

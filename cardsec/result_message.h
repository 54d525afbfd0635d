// A message for the user: text, caption and icon, as a message box shows it.
#pragma once

#include <string>

namespace salvora::cardsec {

enum class MessageIcon { kInformation, kStop, kExclamation, kQuestion };

struct ResultMessage {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::kInformation;

    bool operator==(const ResultMessage&) const = default;
};

// The two kinds of result an operation ends with.
ResultMessage successMessage(const std::string& text);  // caption "Success!", information icon
ResultMessage failureMessage(const std::string& text);  // caption "Failed!", stop icon

}  // namespace salvora::cardsec

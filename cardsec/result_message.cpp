#include "cardsec/result_message.h"

#include "cardsec/messages.h"

namespace salvora::cardsec {

ResultMessage successMessage(const std::string& text) {
    return {text, text::kSuccess, MessageIcon::kInformation};
}

ResultMessage failureMessage(const std::string& text) {
    return {text, text::kFailed, MessageIcon::kStop};
}

}  // namespace salvora::cardsec

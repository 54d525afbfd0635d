#include "result_box.h"

#include "ansi_text.h"
#include "modal_scope.h"

namespace salvora::lockwright {

namespace {

UINT iconStyle(cardsec::MessageIcon icon) {
    switch (icon) {
        case cardsec::MessageIcon::kInformation:
            return MB_ICONINFORMATION;
        case cardsec::MessageIcon::kStop:
            return MB_ICONSTOP;
        case cardsec::MessageIcon::kExclamation:
            return MB_ICONEXCLAMATION;
        case cardsec::MessageIcon::kQuestion:
            return MB_ICONQUESTION;
    }
    return 0;
}

}  // namespace

int showResultBox(HWND owner, const cardsec::ResultMessage& message, UINT buttons) {
    ModalScope scope;
    return MessageBoxW(owner, toWide(message.text).c_str(), toWide(message.caption).c_str(),
                       buttons | iconStyle(message.icon));
}

}  // namespace salvora::lockwright

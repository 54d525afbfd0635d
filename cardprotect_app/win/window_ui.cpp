#include "window_ui.h"

#include "cardprotect_app/core/view_state.h"
#include "result_box.h"

namespace salvora::lockwright {

void WindowUi::Attach(HWND window) {
    window_ = window;
    windowThread_ = GetCurrentThreadId();
}

void WindowUi::showMessage(const cardsec::ResultMessage& message) {
    showResultBox(window_, message, MB_OK);
}

bool WindowUi::askYesNo(const cardsec::ResultMessage& question) {
    return showResultBox(window_, question, MB_YESNO) == IDYES;
}

void WindowUi::onWindow(const std::function<void()>& work) {
    if (onWindowThread()) {
        work();
    } else {
        SendMessageW(window_, kWmRunOnWindowThread, 0, reinterpret_cast<LPARAM>(&work));
    }
}

void WindowUi::infoLineChanged(const std::string& text) {
    onWindow([&] { host_.ShowInfoLine(text); });
}

void WindowUi::viewChanged(const cardprotect::ViewState& view) {
    onWindow([&] { host_.ShowView(view); });
}

void WindowUi::closePasswordPanel() {
    onWindow([&] { host_.ClosePasswordPanel(); });
}

void WindowUi::runOnWindowThread(const std::function<void()>& work) {
    if (onWindowThread()) {
        work();
    } else {
        SendMessageW(window_, cardprotect::kWmSecurityDone, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&work));
    }
}

}  // namespace salvora::lockwright

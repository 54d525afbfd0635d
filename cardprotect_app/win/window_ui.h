// The window logic's calls into the main window. Message boxes are shown on
// the calling thread (a worker shows its results itself, owned by the main
// window). Everything that touches controls reaches the window thread: from
// a worker through a synchronous message, so texts and messages keep their
// order and the worker waits until the window has shown them; the worker's
// completion travels as WM_SECURITY_DONE.
#pragma once

#include <windows.h>

#include <functional>

#include "cardprotect_app/core/workflow_ui.h"

namespace salvora::lockwright {

// The main window's side of the calls.
class WindowUiHost {
  public:
    virtual ~WindowUiHost() = default;
    virtual void ShowView(const cardprotect::ViewState& view) = 0;
    virtual void ShowInfoLine(const std::string& text) = 0;
    virtual void ClosePasswordPanel() = 0;
};

// Private message of the main window: lParam points at a
// std::function<void()> to run on the window thread.
constexpr UINT kWmRunOnWindowThread = WM_APP + 1;

class WindowUi : public cardprotect::WorkflowUi {
  public:
    explicit WindowUi(WindowUiHost& host) : host_(host) {}

    // The main window; the calling thread is its thread.
    void Attach(HWND window);

    void showMessage(const cardsec::ResultMessage& message) override;
    bool askYesNo(const cardsec::ResultMessage& question) override;
    // The window collects passwords in its own panel, never through this call.
    std::optional<cardprotect::PasswordEntry> askPassword(const cardprotect::PanelSettings&) override {
        return std::nullopt;
    }
    void infoLineChanged(const std::string& text) override;
    void viewChanged(const cardprotect::ViewState& view) override;
    void closePasswordPanel() override;
    // From a worker: sends WM_SECURITY_DONE with lParam pointing at `work`.
    void runOnWindowThread(const std::function<void()>& work) override;

  private:
    bool onWindowThread() const { return GetCurrentThreadId() == windowThread_; }
    void onWindow(const std::function<void()>& work);

    WindowUiHost& host_;
    HWND window_ = nullptr;
    DWORD windowThread_ = 0;
};

}  // namespace salvora::lockwright

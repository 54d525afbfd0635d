// Drives lockwright.exe from the test process as a user would: starts it,
// finds its windows, reads their texts, clicks, types, and answers its
// message boxes. Every wait has a time limit, so a stuck program fails the
// test instead of hanging it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace salvora::lockwright::test {

constexpr int kWaitMs = 8000;  // for anything that the one-second poll shows

// Checks `condition` every 50 ms until it holds or `timeoutMs` pass.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = kWaitMs);

// A window's text (WM_GETTEXT with a time limit); empty on failure.
std::wstring textOf(HWND window);
// A control's text, its visibility and whether it is enabled.
bool visible(HWND window);
bool enabled(HWND window);
// BM_GETCHECK: an image button of the window answers its selected flag.
bool selected(HWND button);

// Puts `text` into a field (WM_SETTEXT).
void setText(HWND field, const std::wstring& text);
// Types `text` into a field key by key (WM_CHAR, then the key's release).
void type(HWND field, const std::wstring& text);

// Puts `text` on the clipboard and pastes it into a field (WM_PASTE).
// False when the clipboard could not be filled.
bool paste(HWND field, const std::wstring& text);

// Presses Enter in a field, as the keyboard does.
void pressEnter(HWND field);

// A message box of process `pid` with `caption`.
struct MessageBoxWindow {
    HWND window = nullptr;
    std::wstring text;
};
// Waits for such a box; window is null when none came.
MessageBoxWindow waitForBox(DWORD pid, const std::wstring& caption, int timeoutMs = kWaitMs);
// True when the process shows no box with `caption` right now.
bool noBox(DWORD pid, const std::wstring& caption);
// Presses the box's button IDOK, IDYES or IDNO and waits until it is gone.
bool answer(const MessageBoxWindow& box, int button);

// lockwright.exe --simulate STATE, ended (or killed) when the object goes.
class Lockwright {
  public:
    // Starts the program and, unless `expectWindow` is false, waits for its window.
    explicit Lockwright(const std::wstring& statePath, bool expectWindow = true);
    ~Lockwright();
    Lockwright(const Lockwright&) = delete;
    Lockwright& operator=(const Lockwright&) = delete;

    // The main window ("Cardwarden"); null when it did not come up.
    HWND window() const { return window_; }
    DWORD pid() const { return pid_; }
    // A control of the main window.
    HWND control(int id) const { return GetDlgItem(window_, id); }
    // The password panel inside its frame; null when none is shown.
    HWND panel() const;
    HWND panelControl(int id) const { return GetDlgItem(panel(), id); }

    // Clicks a control of the main window or of the panel (a posted BN_CLICKED,
    // as a real click gives; the program ignores clicks of disabled buttons).
    void click(int id) const;
    void clickPanel(int id) const;
    // Asks the window to close as its close box does.
    void closeBox() const;
    // Waits for the process to end; its exit code, or -1 when it did not end.
    int waitForExit(int timeoutMs = kWaitMs);
    bool running() const;

  private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND window_ = nullptr;
};

}  // namespace salvora::lockwright::test

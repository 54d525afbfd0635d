// Playing the user of a window program from another process: starting it,
// finding its windows, clicking, reading texts, and taking pictures of its
// windows. Every wait has a time limit, so a stuck program fails a test
// instead of hanging it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace salvora::gui_test {

// Waits until `done` holds, checking every 20 ms; false after `milliseconds`.
bool waitFor(const std::function<bool()>& done, int milliseconds);

// A running program, ended (forcibly if it must be) when the object goes.
class Program {
  public:
    // Starts `exe` with `arguments` in the folder `workingFolder`. Check started().
    Program(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingFolder);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return process_ != nullptr; }
    // The system's error code of the last failed start.
    DWORD startError() const { return startError_; }
    DWORD id() const { return id_; }
    bool running() const;
    // Waits for the program to end; false when it still runs after `milliseconds`.
    bool waitForExit(int milliseconds) const;
    DWORD exitCode() const;
    void terminate();

    // The top-level dialog (class #32770) of this program whose title is
    // `title`, once it appears; null after `milliseconds`.
    HWND waitForDialog(const std::wstring& title, int milliseconds) const;
    // The top-level dialog of this program holding control `controlId`.
    HWND waitForDialogWith(int controlId, int milliseconds) const;
    // Every visible top-level dialog of this program.
    std::vector<HWND> dialogs() const;

  private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    DWORD startError_ = 0;
};

// The text of a window of any process ("" when it does not answer in time).
std::wstring windowText(HWND window);
std::wstring itemText(HWND dialog, int id);
// Presses a button the way a click does (posted, so a modal dialog it opens
// does not block the test).
void click(HWND dialog, int id);
// True when control `id` of `dialog` is enabled.
bool itemEnabled(HWND dialog, int id);
bool itemVisible(HWND dialog, int id);
// BM_GETCHECK of a checkbox.
bool itemChecked(HWND dialog, int id);

// A message box's text (its static control 0xFFFF).
std::wstring messageBoxText(HWND box);
// Closes a message box or dialog with OK (or the button `id`).
void answer(HWND dialog, int id = IDOK);

// Saves what the screen shows of `window` (frame included) as a PNG file.
// GDI+ must be started. False when it could not be written.
bool saveScreenshot(HWND window, const std::wstring& path);

}  // namespace salvora::gui_test

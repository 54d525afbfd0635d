// The application object of a dialog program: starts what every dialog of
// the program needs (common controls, COM for the shell dialogs, GDI+ for the
// images) and stops it again at the end.
#pragma once

#include <windows.h>

#include <cstdint>

namespace salvora::widgets {

class AppBase {
  public:
    // Starts common controls (version 6 with the program's manifest), COM in
    // a single-threaded apartment and GDI+.
    AppBase();
    // Stops GDI+ and COM.
    virtual ~AppBase();
    AppBase(const AppBase&) = delete;
    AppBase& operator=(const AppBase&) = delete;

    // True when GDI+ started; images cannot be drawn otherwise.
    bool graphicsReady() const { return gdiplusToken_ != 0; }
    HINSTANCE instance() const { return GetModuleHandleW(nullptr); }

    // The program's work, typically running its main dialog modally; returns
    // the process exit code.
    virtual int Run() = 0;

    // Runs the message loop until WM_QUIT, giving keyboard messages for
    // `dialog` (a modeless dialog) their dialog meaning. Returns the WM_QUIT code.
    static int RunMessageLoop(HWND dialog);

  private:
    ULONG_PTR gdiplusToken_ = 0;
    bool comStarted_ = false;
};

}  // namespace salvora::widgets

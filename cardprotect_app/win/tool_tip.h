// A tooltip control for one control of a dialog. The tooltip takes the
// control's mouse messages itself (the control's window is subclassed by the
// common controls), so the dialog need not relay them.
#pragma once

#include <windows.h>

#include <string>

namespace salvora::lockwright {

class ToolTip {
  public:
    ToolTip() = default;
    // Destroys the tooltip window.
    ~ToolTip();
    ToolTip(const ToolTip&) = delete;
    ToolTip& operator=(const ToolTip&) = delete;

    // Attaches a tooltip to `control`, shown after `delayMs` and wrapped at
    // `maxWidth` pixels (lines also break at "\n"). Starts with `text` (empty:
    // nothing is shown). False when the tooltip window cannot be made.
    bool Create(HWND control, int delayMs, int maxWidth, const std::wstring& text = L"");
    // Changes the text; nothing when it is the same.
    void SetText(const std::wstring& text);
    const std::wstring& Text() const { return text_; }
    HWND hwnd() const { return tip_; }

  private:
    HWND tip_ = nullptr;
    HWND control_ = nullptr;
    std::wstring text_;
};

}  // namespace salvora::lockwright

// Message boxes of both programs: a text, a caption and an icon, modal to
// the window that asks.
#pragma once

#include <windows.h>

#include <string>

namespace salvora::widgets {

// Shows `text` with `caption` and `style` (buttons and icon, MB_ flags),
// modal to `owner` (may be null). Returns the button pressed (IDOK ...).
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);

// An information box with an OK button.
void ShowInformation(HWND owner, const std::wstring& text, const std::wstring& caption);
// A warning box with an OK button.
void ShowWarning(HWND owner, const std::wstring& text, const std::wstring& caption);
// An error box with an OK button.
void ShowError(HWND owner, const std::wstring& text, const std::wstring& caption);
// A question with Yes and No; true for Yes.
bool AskYesNo(HWND owner, const std::wstring& text, const std::wstring& caption);

}  // namespace salvora::widgets

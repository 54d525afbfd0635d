#include "widgets/message_box.h"

namespace salvora::widgets {

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
    return MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

void ShowInformation(HWND owner, const std::wstring& text, const std::wstring& caption) {
    ShowMessage(owner, text, caption, MB_OK | MB_ICONINFORMATION);
}

void ShowWarning(HWND owner, const std::wstring& text, const std::wstring& caption) {
    ShowMessage(owner, text, caption, MB_OK | MB_ICONWARNING);
}

void ShowError(HWND owner, const std::wstring& text, const std::wstring& caption) {
    ShowMessage(owner, text, caption, MB_OK | MB_ICONERROR);
}

bool AskYesNo(HWND owner, const std::wstring& text, const std::wstring& caption) {
    return ShowMessage(owner, text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace salvora::widgets

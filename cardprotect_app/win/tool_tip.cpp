#include "tool_tip.h"

#include <commctrl.h>

namespace salvora::lockwright {

namespace {

TTTOOLINFOW toolFor(HWND control, const std::wstring& text) {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    return tool;
}

}  // namespace

ToolTip::~ToolTip() {
    if (tip_ && IsWindow(tip_))
        DestroyWindow(tip_);
}

bool ToolTip::Create(HWND control, int delayMs, int maxWidth, const std::wstring& text) {
    if (tip_ || !control)
        return false;
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, control, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    if (!tip_)
        return false;
    control_ = control;
    text_ = text;
    TTTOOLINFOW tool = toolFor(control, text_);
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tip_, TTM_SETDELAYTIME, TTDT_AUTOMATIC, MAKELPARAM(delayMs, 0));
    SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, maxWidth);
    SendMessageW(tip_, TTM_ACTIVATE, TRUE, 0);
    return true;
}

void ToolTip::SetText(const std::wstring& text) {
    if (!tip_ || text == text_)
        return;
    text_ = text;
    TTTOOLINFOW tool = toolFor(control_, text_);
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace salvora::lockwright

#include "widgets/control_window.h"

#include <commctrl.h>

namespace salvora::widgets {

namespace {
constexpr UINT_PTR kSubclassId = 0x5A17;
// The window property that leads from a window to the object that took it over.
constexpr wchar_t kOwnerProperty[] = L"Salvora.ControlWindow";
}  // namespace

ControlWindow::~ControlWindow() {
    Detach();
}

bool ControlWindow::SubclassDlgItem(int id, HWND parent) {
    return SubclassWindow(GetDlgItem(parent, id));
}

bool ControlWindow::SubclassWindow(HWND window) {
    if (!window || hwnd_ || FromHandle(window))
        return false;
    hwnd_ = window;
    PreSubclassWindow();
    if (!SetWindowSubclass(window, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        hwnd_ = nullptr;
        return false;
    }
    SetPropW(window, kOwnerProperty, this);
    return true;
}

ControlWindow* ControlWindow::FromHandle(HWND window) {
    return window ? static_cast<ControlWindow*>(GetPropW(window, kOwnerProperty)) : nullptr;
}

bool ControlWindow::OnReflectedMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

LRESULT ControlWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT ControlWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(hwnd_, message, wParam, lParam);
}

void ControlWindow::Detach() {
    if (hwnd_) {
        RemovePropW(hwnd_, kOwnerProperty);
        RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
    }
    hwnd_ = nullptr;
}

LRESULT CALLBACK ControlWindow::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<ControlWindow*>(data);
    if (message == WM_NCDESTROY) {
        self->Detach();
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return self->WindowProc(message, wParam, lParam);
}

}  // namespace salvora::widgets

#include "widgets/dialog_base.h"

#include "widgets/control_window.h"

namespace salvora::widgets {

DialogBase::DialogBase(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

DialogBase::~DialogBase() {
    if (!hwnd_ || modal_)
        return;
    // The derived parts are gone already: the window's last messages go to
    // the system's default handling only.
    SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
    DestroyWindow(hwnd_);
}

INT_PTR DialogBase::DoModal() {
    modal_ = true;
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent_,
                                           DialogProc, reinterpret_cast<LPARAM>(this));
    hwnd_ = nullptr;
    return result;
}

bool DialogBase::Create() {
    if (hwnd_)
        return false;
    modal_ = false;
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent_, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void DialogBase::EndDialog(INT_PTR result) {
    if (!hwnd_)
        return;
    if (modal_) {
        ::EndDialog(hwnd_, result);
    } else {
        DestroyWindow(hwnd_);
    }
}

std::wstring DialogBase::GetDlgItemText(int id) const {
    const HWND control = GetDlgItem(id);
    const int length = control ? GetWindowTextLengthW(control) : 0;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    if (control)
        GetWindowTextW(control, text.data(), length + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

void DialogBase::SetDlgItemText(int id, const std::wstring& text) const {
    ::SetDlgItemTextW(hwnd_, id, text.c_str());
}

void DialogBase::EnableDlgItem(int id, bool enable) const {
    EnableWindow(GetDlgItem(id), enable);
}

LRESULT DialogBase::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessageW(hwnd_, id, message, wParam, lParam);
}

void DialogBase::OnCommand(int id, WORD code, CommandHandler handler) {
    commands_.push_back({id, code, std::move(handler)});
}

void DialogBase::OnMessage(UINT message, MessageHandler handler) {
    messages_.push_back({message, std::move(handler)});
}

bool DialogBase::HandleMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
    return false;
}

INT_PTR CALLBACK DialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogBase* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<DialogBase*>(lParam);
        self->hwnd_ = window;
        SetWindowLongPtrW(window, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<DialogBase*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!self)
        return FALSE;
    bool handled = false;
    const INT_PTR result = self->Dispatch(message, wParam, lParam, handled);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    return handled ? result : FALSE;
}

INT_PTR DialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    if (message == WM_COMMAND && DispatchCommand(wParam))
        return TRUE;
    for (const MessageEntry& entry : messages_) {
        if (entry.message == message)
            return entry.handler(wParam, lParam);
    }
    INT_PTR result = 0;
    if (Reflect(message, wParam, lParam, result))
        return result;
    if (HandleMessage(message, wParam, lParam, result))
        return result;
    handled = false;
    return FALSE;
}

bool DialogBase::DispatchCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    for (const CommandEntry& entry : commands_) {
        if (entry.id == id && entry.code == code) {
            entry.handler();
            return true;
        }
    }
    // Buttons and menus notify with code 0 (BN_CLICKED); accelerators with 1.
    if (code > 1)
        return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

// Owner drawing and colour notifications go to the widget that draws the
// control, when a widget has taken it over.
bool DialogBase::Reflect(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    HWND control = nullptr;
    switch (message) {
        case WM_DRAWITEM:
            control = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
            break;
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            control = reinterpret_cast<HWND>(lParam);
            break;
        default:
            return false;
    }
    ControlWindow* widget = ControlWindow::FromHandle(control);
    LRESULT answer = 0;
    if (!widget || !widget->OnReflectedMessage(message, wParam, lParam, answer))
        return false;
    result = static_cast<INT_PTR>(answer);
    return true;
}

}  // namespace salvora::widgets

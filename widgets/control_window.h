// A control of a dialog whose messages pass through a C++ object first: the
// base of the widgets that change how a standard control looks or behaves.
#pragma once

#include <windows.h>

namespace salvora::widgets {

class ControlWindow {
  public:
    ControlWindow() = default;
    virtual ~ControlWindow();
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    // Takes over the control `id` of the dialog `parent`. False when there is
    // no such control or it is taken over already.
    bool SubclassDlgItem(int id, HWND parent);
    // Takes over the window `window`. False when it is null or taken over already.
    bool SubclassWindow(HWND window);

    // Gives the window back to its own procedure. Nothing when none is held.
    void UnsubclassWindow() { Detach(); }

    HWND hwnd() const { return hwnd_; }
    HWND GetParent() const { return ::GetParent(hwnd_); }
    void Invalidate(bool erase = true) const { InvalidateRect(hwnd_, nullptr, erase); }

    // The object that took over `window`, or null.
    static ControlWindow* FromHandle(HWND window);

    // A notification the parent received about this control (owner drawing,
    // colours). Returns true when handled, with the parent's answer in `result`.
    virtual bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  protected:
    // Runs just before the object takes over the window; may change its style.
    virtual void PreSubclassWindow() {}
    // Every message of the window. The default passes it to the control's own procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The control's own handling of a message.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    void Detach();

    HWND hwnd_ = nullptr;
};

}  // namespace salvora::widgets

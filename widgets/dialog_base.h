// The base of every dialog of both programs: a dialog made from a template in
// the program's resources, run modally or modelessly, with a table that binds
// control notifications and window messages to member functions.
//
//   class CAboutDlg : public DialogBase {
//   public:
//       CAboutDlg() : DialogBase(IDD_ABOUTBOX) {
//           OnCommand(IDC_LINK, BN_CLICKED, [this] { OpenLink(); });
//           OnMessage(WM_TIMER, [this](WPARAM id, LPARAM) { return Tick(id); });
//       }
//   };
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace salvora::widgets {

class DialogBase {
  public:
    // A dialog from template `templateId` of the program's own resources,
    // owned by `parent` (null: no owner).
    explicit DialogBase(UINT templateId, HWND parent = nullptr);
    // Destroys the window of a modeless dialog that is still open.
    virtual ~DialogBase();
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    // Runs the dialog modally; returns the value given to EndDialog, or -1
    // when the dialog could not be made (missing template).
    INT_PTR DoModal();
    // Makes the dialog as a modeless window, hidden unless its template says
    // WS_VISIBLE. False when it could not be made or exists already.
    bool Create();
    // Ends a modal dialog with `result`; destroys a modeless one.
    void EndDialog(INT_PTR result);

    HWND hwnd() const { return hwnd_; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(hwnd_, id); }
    std::wstring GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const std::wstring& text) const;
    void EnableDlgItem(int id, bool enable) const;
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

  protected:
    using CommandHandler = std::function<void()>;
    // Returns what the dialog procedure answers for the message.
    using MessageHandler = std::function<INT_PTR(WPARAM, LPARAM)>;

    // Binds notification `code` (BN_CLICKED, EN_CHANGE ...) of control `id` to `handler`.
    void OnCommand(int id, WORD code, CommandHandler handler);
    // Binds window message `message` to `handler`. For a message whose answer
    // goes in DWLP_MSGRESULT (WM_NOTIFY), the handler sets it and returns TRUE.
    void OnMessage(UINT message, MessageHandler handler);

    // After the controls exist. Returns TRUE to let the system set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // The OK button or Enter, when no table entry binds IDOK. Ends with IDOK.
    virtual void OnOK() { EndDialog(IDOK); }
    // Cancel, Escape or the close box, when no table entry binds IDCANCEL. Ends with IDCANCEL.
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Messages no table entry binds. Returns true when handled, with the answer in `result`.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

  private:
    struct CommandEntry {
        int id;
        WORD code;
        CommandHandler handler;
    };
    struct MessageEntry {
        UINT message;
        MessageHandler handler;
    };

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    bool DispatchCommand(WPARAM wParam);
    bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    UINT templateId_;
    HWND parent_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    std::vector<CommandEntry> commands_;
    std::vector<MessageEntry> messages_;
};

}  // namespace salvora::widgets

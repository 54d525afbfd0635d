// The password panel: a child dialog shown in the main window's frame 1040
// before a Lock, Disable Password or CF Erase operation. Set mode takes a new
// password twice, in clear; entry mode takes the existing one once, masked.
// Its OK button applies the rules of the core's password panel and, once the
// password is accepted, hands it to the main window, which starts the
// worker. The panel then stays inert until the main window destroys it.
#pragma once

#include <windows.h>

#include "card_button.h"
#include "cardprotect_app/core/password_panel.h"
#include "cardprotect_app/core/workflow_ui.h"
#include "edit_cus.h"
#include "widgets/dialog_base.h"

namespace salvora::lockwright {

// What the panel needs of the main window.
class PanelOwner {
  public:
    virtual ~PanelOwner() = default;
    // The main window: owner of the panel's messages, receiver of WM_SECURITY_DONE.
    virtual HWND OwnerWindow() const = 0;
    // Shows the panel's messages and asks its question.
    virtual cardprotect::WorkflowUi& MessageUi() = 0;
    // The password was accepted: keep it and start the worker of `kind`.
    virtual void StartWorker(cardprotect::WorkerKind kind, const cardprotect::PasswordBuffer& password) = 0;
};

class CPwdDlg : public widgets::DialogBase {
  public:
    CPwdDlg(const cardprotect::PanelSettings& settings, HWND frame, PanelOwner& owner);
    ~CPwdDlg() override;

    // Makes the panel inside the frame, shows it and gives the password field
    // the focus. False when the window cannot be made.
    bool Open();
    // The OK button, or Enter in the main window: validates and hands over.
    void Accept();
    // True while the panel takes a password (not yet accepted, not destroyed).
    bool Accepting() const { return hwnd() && !m_bAccepted; }
    const cardprotect::PanelSettings& Settings() const { return m_settings; }

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override { Accept(); }
    void OnCancel() override {}  // the panel never ends itself
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  private:
    void SetUpFields();
    void SetUpButtons();

    cardprotect::PanelSettings m_settings;
    PanelOwner& m_owner;
    CEditCus m_cPassword;
    CEditCus m_cAgain;
    CCardButton m_cOk;
    CCardButton m_cMatchMark;
    CCardButton m_cPasswordRow;
    CCardButton m_cAgainRow;
    HBRUSH m_hPanelBrush = nullptr;
    HBRUSH m_hFieldBrush = nullptr;
    bool m_bAccepted = false;
};

}  // namespace salvora::lockwright

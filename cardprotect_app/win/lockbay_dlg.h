// The main window of Cardwarden ("Cardwarden"): the SD and CF selectors, the
// Lock, Disable Password and Erase actions, the information line and the
// status display. The window logic (CardwardenModel) decides everything; this
// class turns the window's events into its calls (the one-second poll on
// timer 7001, device changes, clicks, closing) and runs its operations on
// worker threads. A worker reports its end with WM_SECURITY_DONE (7003); the
// buttons ask for WM_REPAINT_LABELS (7004) after painting.
//
// Closing (Exit, the close box, Escape) is refused while an operation runs,
// and the window waits for a worker's thread to end before it goes, so no
// worker outlives the window. Enter presses the OK button of an open password
// panel and does nothing else.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <vector>

#include "cardprotect_app/core/cardwarden_model.h"
#include "main_window_view.h"
#include "pwd_dlg.h"
#include "widgets/dialog_base.h"
#include "window_ui.h"

namespace salvora::lockwright {

class CLockbayDlg : public widgets::DialogBase, private WindowUiHost, private PanelOwner {
  public:
    // The window works on the reader behind `transport`; both must outlive it.
    CLockbayDlg(cardsec::ReaderTransport& transport, cardsec::Sleeper& sleeper);
    // Waits for any worker thread to end.
    ~CLockbayDlg() override;

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  private:
    // WindowUiHost
    void ShowView(const cardprotect::ViewState& view) override;
    void ShowInfoLine(const std::string& text) override;
    void ClosePasswordPanel() override;
    // PanelOwner
    HWND OwnerWindow() const override { return hwnd(); }
    cardprotect::WorkflowUi& MessageUi() override { return m_ui; }
    void StartWorker(cardprotect::WorkerKind kind, const cardprotect::PasswordBuffer& password) override;

    void BindCommands();
    void BindMessages();
    void AddAboutItem();
    void SetIcons();
    bool Clickable(int id) const;
    void OpenPanel(const cardprotect::PanelSettings& settings);
    void OnErase();
    INT_PTR OnTimer(WPARAM id);
    INT_PTR OnSecurityDone(WPARAM wParam, LPARAM lParam);
    INT_PTR OnSysCommand(WPARAM command);
    void CloseWindow();
    void FreeClosedPanels();
    void WaitForThread(HANDLE& thread);

    static DWORD WINAPI LockThreadProc(LPVOID window);
    static DWORD WINAPI RemoveThreadProc(LPVOID window);
    static DWORD WINAPI EraseThreadProc(LPVOID window);
    void RunWorker(cardprotect::WorkerKind kind);

    WindowUi m_ui;
    cardprotect::CardwardenModel m_model;
    MainWindowView m_view;
    std::unique_ptr<CPwdDlg> m_pPwdDlg;
    std::vector<std::unique_ptr<CPwdDlg>> m_closedPanels;  // freed when no modal loop may still use them
    HANDLE m_hWorker = nullptr;          // the running worker; non-null while an operation is in progress
    HANDLE m_hFinishedWorker = nullptr;  // a worker past its completion whose thread may not have ended yet
    std::array<char, cardprotect::kPasswordBufferSize> m_szPassword{};
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    bool m_bInPoll = false;
};

}  // namespace salvora::lockwright

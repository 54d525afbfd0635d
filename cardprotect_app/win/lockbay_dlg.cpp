#include "lockbay_dlg.h"

#include <cstring>

#include "about_dlg.h"
#include "ansi_text.h"
#include "modal_scope.h"
#include "resource.h"

namespace salvora::lockwright {

using cardprotect::CardType;
using cardprotect::PanelSettings;
using cardprotect::WorkerKind;

namespace {

constexpr const wchar_t* kAboutItem = L"&About Cardwarden";

// Windows 2000 wants one more presence probe after an SD status read.
bool isWindows2000() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool known = GetVersionExW(&version) != FALSE;
#pragma GCC diagnostic pop
    return known && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion == 5 &&
           version.dwMinorVersion == 0;
}

cardprotect::ModelOptions windowOptions() {
    cardprotect::ModelOptions options;
    options.win2000 = isWindows2000();
    options.examineCardsPresentAtStart = false;
    return options;
}

}  // namespace

CLockbayDlg::CLockbayDlg(cardsec::ReaderTransport& transport, cardsec::Sleeper& sleeper)
    : DialogBase(IDD_CARDWARDEN_DIALOG), m_ui(*this), m_model(transport, sleeper, m_ui, windowOptions()) {
    BindCommands();
    BindMessages();
}

CLockbayDlg::~CLockbayDlg() {
    WaitForThread(m_hWorker);
    WaitForThread(m_hFinishedWorker);
    if (m_hIcon)
        DestroyIcon(m_hIcon);
    if (m_hSmallIcon)
        DestroyIcon(m_hSmallIcon);
}

void CLockbayDlg::BindCommands() {
    OnCommand(IDC_SD_BUTTON, BN_CLICKED, [this] {
        if (Clickable(IDC_SD_BUTTON))
            m_model.selectSd();
    });
    OnCommand(IDC_CF_BUTTON, BN_CLICKED, [this] {
        if (Clickable(IDC_CF_BUTTON))
            m_model.selectCf();
    });
    OnCommand(IDC_LOCK, BN_CLICKED, [this] {
        if (Clickable(IDC_LOCK))
            OpenPanel(m_model.lockPressed());
    });
    OnCommand(IDC_DISABLE_PASSWORD, BN_CLICKED, [this] {
        if (Clickable(IDC_DISABLE_PASSWORD))
            OpenPanel(m_model.removePressed());
    });
    OnCommand(IDC_ERASE, BN_CLICKED, [this] { OnErase(); });
    OnCommand(IDC_EXIT, BN_CLICKED, [this] { CloseWindow(); });
}

void CLockbayDlg::BindMessages() {
    OnMessage(WM_TIMER, [this](WPARAM id, LPARAM) { return OnTimer(id); });
    OnMessage(cardprotect::kWmSecurityDone, [this](WPARAM w, LPARAM l) { return OnSecurityDone(w, l); });
    OnMessage(cardprotect::kWmRepaintLabels, [this](WPARAM, LPARAM) {
        m_view.RepaintLabels();
        return INT_PTR{TRUE};
    });
    OnMessage(kWmRunOnWindowThread, [](WPARAM, LPARAM work) {
        (*reinterpret_cast<const std::function<void()>*>(work))();
        return INT_PTR{TRUE};
    });
    OnMessage(WM_DEVICECHANGE, [this](WPARAM, LPARAM) {
        m_model.deviceChanged();
        return INT_PTR{FALSE};  // the default answer grants every request
    });
    OnMessage(WM_SYSCOMMAND, [this](WPARAM command, LPARAM) { return OnSysCommand(command); });
}

BOOL CLockbayDlg::OnInitDialog() {
    m_ui.Attach(hwnd());
    AddAboutItem();
    SetIcons();
    m_view.Attach(hwnd());
    m_model.initialise();
    SetTimer(hwnd(), cardprotect::kPollTimerId, cardprotect::kPollPeriodMs, nullptr);
    return TRUE;
}

void CLockbayDlg::AddAboutItem() {
    const HMENU menu = GetSystemMenu(hwnd(), FALSE);
    if (!menu)
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, kAboutItem);
}

void CLockbayDlg::SetIcons() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    m_hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    m_hSmallIcon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));
}

// A click counts only from an enabled button while no operation runs (a
// click posted to a disabled button, or one that arrives between the start
// of a worker and its first step, is ignored).
bool CLockbayDlg::Clickable(int id) const {
    return !m_hWorker && IsWindowEnabled(GetDlgItem(id));
}

void CLockbayDlg::ShowView(const cardprotect::ViewState& view) {
    m_view.Show(view, m_model.cardType());
}

void CLockbayDlg::ShowInfoLine(const std::string& text) {
    m_view.ShowInfoLine(text);
}

void CLockbayDlg::OpenPanel(const PanelSettings& settings) {
    ClosePasswordPanel();
    PanelOwner& owner = *this;
    auto panel = std::make_unique<CPwdDlg>(settings, m_view.PanelFrame(), owner);
    if (!panel->Open()) {
        m_closedPanels.push_back(std::move(panel));
        m_model.securityDone(settings.cardType);
        return;
    }
    m_pPwdDlg = std::move(panel);
}

// The window may still be inside one of the panel's handlers (its OK button
// sent WM_SECURITY_DONE, or a field's message is up while the poll found the
// card gone): the window goes now, the object when no handler can be using it.
void CLockbayDlg::ClosePasswordPanel() {
    if (!m_pPwdDlg)
        return;
    const HWND panel = m_pPwdDlg->hwnd();
    if (panel) {
        if (IsChild(panel, GetFocus()))
            SetFocus(hwnd());
        DestroyWindow(panel);
    }
    m_closedPanels.push_back(std::move(m_pPwdDlg));
}

void CLockbayDlg::FreeClosedPanels() {
    if (ModalScope::outermost() && !m_bInPoll)
        m_closedPanels.clear();
}

void CLockbayDlg::OnErase() {
    if (!Clickable(IDC_ERASE))
        return;
    const PanelSettings settings = m_model.erasePressed();
    if (settings.usesPanel) {
        OpenPanel(settings);
    } else {
        StartWorker(WorkerKind::kErase, cardprotect::PasswordBuffer());
    }
}

void CLockbayDlg::StartWorker(WorkerKind kind, const cardprotect::PasswordBuffer& password) {
    if (m_hWorker)
        return;
    WaitForThread(m_hFinishedWorker);
    m_szPassword = password.bytes();
    m_model.operationStarting();
    LPTHREAD_START_ROUTINE procedure = kind == WorkerKind::kLock     ? LockThreadProc
                                       : kind == WorkerKind::kRemove ? RemoveThreadProc
                                                                     : EraseThreadProc;
    m_hWorker = CreateThread(nullptr, 0, procedure, this, 0, nullptr);
    if (!m_hWorker)
        m_model.securityDone(m_model.cardType());
}

DWORD WINAPI CLockbayDlg::LockThreadProc(LPVOID window) {
    static_cast<CLockbayDlg*>(window)->RunWorker(WorkerKind::kLock);
    return 0;
}

DWORD WINAPI CLockbayDlg::RemoveThreadProc(LPVOID window) {
    static_cast<CLockbayDlg*>(window)->RunWorker(WorkerKind::kRemove);
    return 0;
}

DWORD WINAPI CLockbayDlg::EraseThreadProc(LPVOID window) {
    static_cast<CLockbayDlg*>(window)->RunWorker(WorkerKind::kErase);
    return 0;
}

void CLockbayDlg::RunWorker(WorkerKind kind) {
    const std::string text(m_szPassword.data(), strnlen(m_szPassword.data(), m_szPassword.size()));
    m_model.runWorker(kind, cardprotect::PasswordBuffer(text));
}

INT_PTR CLockbayDlg::OnSecurityDone(WPARAM wParam, LPARAM lParam) {
    if (lParam) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();  // the worker's completion
    } else {
        // The panel's confirmation was answered No.
        m_model.securityDone(static_cast<CardType>(static_cast<int>(wParam)));
    }
    if (!m_model.operationRunning() && m_hWorker) {
        SecureZeroMemory(m_szPassword.data(), m_szPassword.size());
        WaitForThread(m_hFinishedWorker);
        m_hFinishedWorker = m_hWorker;
        m_hWorker = nullptr;
    }
    return TRUE;
}

INT_PTR CLockbayDlg::OnTimer(WPARAM id) {
    if (id != cardprotect::kPollTimerId)
        return FALSE;
    if (m_hWorker || m_bInPoll)
        return TRUE;
    m_bInPoll = true;
    m_model.poll();
    m_bInPoll = false;
    FreeClosedPanels();
    return TRUE;
}

INT_PTR CLockbayDlg::OnSysCommand(WPARAM command) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX)
        return FALSE;
    ModalScope scope;
    CAboutDlg about(hwnd());
    about.DoModal();
    return TRUE;
}

void CLockbayDlg::OnOK() {
    if (m_pPwdDlg && m_pPwdDlg->Accepting())
        m_pPwdDlg->Accept();
}

void CLockbayDlg::OnCancel() {
    CloseWindow();
}

void CLockbayDlg::CloseWindow() {
    if (!m_model.requestClose())
        return;
    KillTimer(hwnd(), cardprotect::kPollTimerId);
    ClosePasswordPanel();
    WaitForThread(m_hFinishedWorker);
    EndDialog(IDOK);
}

// Waits for `thread` to end and closes it. Messages sent to the window are
// handled meanwhile, so a worker still talking to the window can finish.
void CLockbayDlg::WaitForThread(HANDLE& thread) {
    if (!thread)
        return;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread);
    thread = nullptr;
}

bool CLockbayDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
        case WM_ERASEBKGND:
        case WM_PRINTCLIENT:
            m_view.PaintBackground(reinterpret_cast<HDC>(wParam));
            result = TRUE;
            return true;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            result = reinterpret_cast<INT_PTR>(
                m_view.ControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
            return true;
        case WM_DRAWITEM:
            result = m_view.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return result != 0;
        default:
            return false;
    }
}

}  // namespace salvora::lockwright

#include "lockbay_app.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>

#include "ansi_text.h"
#include "cardprotect_app/core/app_texts.h"
#include "cardsec/messages.h"
#include "cardsec/simulated_reader.h"
#include "cardsec/sleeper.h"
#include "cardsec/system_transport.h"
#include "lockbay_dlg.h"
#include "result_box.h"

namespace salvora::lockwright {

namespace {

constexpr int kExitNoRights = 1;
constexpr int kExitNoWindow = 1;
constexpr int kExitUsage = 2;
constexpr int kExitSimulation = 7;

std::vector<std::string> commandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(toAnsi(words[i]));
    LocalFree(words);
    return arguments;
}

std::wstring ownPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void showError(const std::string& text) {
    showResultBox(nullptr, {text, cardsec::text::kError, cardsec::MessageIcon::kStop});
}

}  // namespace

CLockbayApp::CLockbayApp()
    : m_arguments(commandLineArguments()), m_options(cardprotect::parseLaunchOptions(m_arguments)) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0xFF};
    InitCommonControlsEx(&controls);
}

int CLockbayApp::Run() {
    if (m_options.simulateMissingFile) {
        showError("--simulate needs the file that keeps the simulated reader.");
        return kExitUsage;
    }
    if (m_options.simulateConflict) {
        showError("--simulate names two different files; please name one.");
        return kExitUsage;
    }
    // The simulated reader needs no rights: it sends nothing to a device.
    if (!m_options.simulate.empty())
        return RunSimulated();
    if (!cardsec::hasDeviceRights())
        return RunElevated();
    const std::unique_ptr<cardsec::ReaderTransport> transport = cardsec::makeSystemTransport();
    return RunWindow(*transport);
}

// Without administrator rights: start an elevated copy (which is marked
// "runas" and never tries again) and end; say why when that is not possible.
int CLockbayApp::RunElevated() {
    if (!m_options.elevatedCopy) {
        const std::wstring parameters = toWide(cardprotect::elevatedParameters(m_arguments));
        const HINSTANCE started =
            ShellExecuteW(nullptr, L"runas", ownPath().c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
        if (reinterpret_cast<INT_PTR>(started) > 32)
            return 0;
    }
    showError(cardprotect::text::kNeedsAdministrator);
    return kExitNoRights;
}

int CLockbayApp::RunSimulated() {
    cardsec::FileStore store(m_options.simulate);
    if (!store.use([](cardsec::SimulatedReader&) {})) {
        showError("The simulated reader cannot be used: " + store.lastError());
        return kExitSimulation;
    }
    cardsec::SimulatedTransport transport(store, cardsec::wallClockMs);
    return RunWindow(transport);
}

int CLockbayApp::RunWindow(cardsec::ReaderTransport& transport) {
    cardsec::ThreadSleeper sleeper;
    CLockbayDlg window(transport, sleeper);
    return window.DoModal() == -1 ? kExitNoWindow : 0;
}

}  // namespace salvora::lockwright

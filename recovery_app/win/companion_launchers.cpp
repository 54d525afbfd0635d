// The main window's buttons that start the companion programs: the maker's
// format tool and the card protection program. The window hides while one
// runs and lists the disks again when it ends.
#include "media/disk_list.h"
#include "media/text_win.h"
#include "recovery_app/core/companions.h"
#include "recovery_app/core/messages.h"
#include "recovery_app/win/harvex_dlg.h"
#include "widgets/message_box.h"

namespace salvora {

namespace {

// A file of the current folder exists when its attributes can be read.
bool fileExists(const std::string& name) {
    return GetFileAttributesW(widen(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void launchCompanion(HWND window, Companion companion, const std::function<void(const std::wstring&)>& run) {
    const CompanionLaunch launch = planCompanionLaunch(companion, makerReaderPresent(), fileExists);
    if (!launch.error.empty()) {
        widgets::ShowError(window, widen(launch.error), widen(messages::kCompanionErrorCaption));
        return;
    }
    if (launch.askFirst &&
        !widgets::AskYesNo(window, widen(messages::kProtectionQuestion), widen(messages::kProductName))) {
        return;
    }
    run(widen(launch.program));
}

}  // namespace

void CHarvexDlg::OnFormatTool() {
    launchCompanion(hwnd(), Companion::kFormatTool,
                    [this](const std::wstring& program) { RunCompanion(program); });
}

void CHarvexDlg::OnProtectionTool() {
    launchCompanion(hwnd(), Companion::kProtectionTool,
                    [this](const std::wstring& program) { RunCompanion(program); });
}

void CHarvexDlg::RunCompanion(const std::wstring& program) {
    std::wstring commandLine = widen(kCompanionCommandLine);  // CreateProcess may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        widgets::ShowError(hwnd(), widen(messages::kLaunchFailed), widen(messages::kLaunchFailedCaption));
        return;
    }
    ShowWindow(hwnd(), SW_HIDE);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    ShowWindow(hwnd(), SW_SHOW);
    RefreshDiskList();
}

}  // namespace salvora

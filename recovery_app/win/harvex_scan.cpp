// The main window's recovery: the checks before it, the worker that runs the
// scan, and the window's running and idle states.
#include <string>

#include "carve/scan.h"
#include "media/error_text.h"
#include "media/text_win.h"
#include "recovery_app/core/destination.h"
#include "recovery_app/core/elapsed_time.h"
#include "recovery_app/core/image_disks.h"
#include "recovery_app/core/messages.h"
#include "recovery_app/core/progress_throttle.h"
#include "recovery_app/core/recover_checks.h"
#include "recovery_app/core/recovery_aids.h"
#include "recovery_app/core/scan_outcome.h"
#include "recovery_app/win/harvex_dlg.h"
#include "recovery_app/win/rec_err_dlg.h"
#include "recovery_app/win/resource.h"
#include "widgets/message_box.h"

namespace salvora {

namespace {

// The controls a scan must not be disturbed by: disabled while it runs.
constexpr int kScanInputs[] = {IDC_RECOVER,         IDC_BROWSE,    IDC_FORMAT_TOOL,
                               IDC_PROTECTION_TOOL, IDC_DISK_LIST, IDC_PARTITION_LIST};

// How long a closing program waits for a stopped scan to end.
constexpr DWORD kStopPatienceMs = 10000;

// What the scan reports, turned into the window's messages. Every message
// is sent (the scan waits until the window has handled it), so the bar gets
// a position only when it grows: at most 101 per scan.
class WindowScanObserver : public ScanObserver {
  public:
    WindowScanObserver(HWND window, HWND progress, const std::atomic<bool>& stop, uint32_t& partial)
        : window_(window), progress_(progress), stop_(stop), partial_(partial) {}

    void progressStarted(uint64_t, uint64_t) override {
        throttle_.start();
        SendMessageW(progress_, PBM_SETRANGE32, 0, 100);
    }
    void progress(int percent, uint64_t) override {
        if (!throttle_.shouldSend(percent))
            return;
        SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(percent), 1);
        if (percent > 0 && !barShown_) {
            barShown_ = true;
            SendMessageW(window_, WM_SCAN_PROGRESS_SHOWN, 0, 0);
        }
    }
    void fileSaved(uint32_t, const SavedFile& file) override {
        if (file.partial)
            ++partial_;
        SendMessageW(window_, WM_UPDATE_FILE_COUNT, 0, 0);
    }
    bool stopRequested() override { return stop_.load(); }

  private:
    HWND window_;
    HWND progress_;
    const std::atomic<bool>& stop_;
    uint32_t& partial_;  // files kept although a read failure cut them short
    ProgressThrottle throttle_;
    bool barShown_ = false;
};

}  // namespace

void CHarvexDlg::OnRecover() {
    if (m_hScanThread)
        return;
    const int row = SelectedRow(IDC_PARTITION_LIST);
    const MediaReader* disk = m_scanContext.currentMedium;
    const std::string destination = narrow(m_szSavedPath);
    // A folder on the disk reached through a mount point, or a volume that
    // spans this disk and others, has no drive letter of this disk.
    const bool volumeOnDisk = disk && destinationOnDisk(destination, *disk);
    const RecoverCheck check =
        checkBeforeRecovery(row >= 0 && disk, m_scanContext.enabledFamilies, destination,
                            disk ? drivesOfDisk(*disk, m_szDiskLetters, m_images) : std::string(),
                            disk ? diskName(*disk) : std::string(), volumeOnDisk);
    switch (check.refusal) {
        case RecoverRefusal::kNone:
            break;
        case RecoverRefusal::kNoPartition:
            widgets::ShowWarning(hwnd(), widen(check.text), widen(messages::kListWarningCaption));
            return;
        case RecoverRefusal::kNoFileType:
            widgets::ShowWarning(hwnd(), widen(check.text), widen(messages::kWarningCaption));
            return;
        case RecoverRefusal::kDestinationDisk: {
            RecErrDlg refusal(widen(check.text), hwnd());
            refusal.DoModal();
            return;
        }
    }
    if (!PrepareJob(row))
        return;
    startRecovery(*this);
}

bool CHarvexDlg::PrepareJob(int partitionRow) {
    PartitionRecord* partition =
        partitionToRecover(m_scanContext.partitionRows, static_cast<size_t>(partitionRow));
    if (!partition) {
        widgets::ShowMessage(hwnd(), widen(messages::kGetPartitionFail), widen(messages::kErrorCaption),
                             MB_OK);
        return false;
    }
    m_scanContext.currentPartition = partition;
    std::string destination, whyNot;
    if (!prepareDestination(narrow(m_szSavedPath), destination, whyNot)) {
        widgets::ShowError(hwnd(), widen(whyNot), widen(messages::kProductName));
        return false;
    }
    m_job.medium = m_scanContext.currentMedium;
    m_job.partition = *partition;
    m_job.destination = destination;
    m_job.families = m_scanContext.enabledFamilies;
    m_job.window = hwnd();
    m_job.progress = m_progress.hwnd();
    return true;
}

void CHarvexDlg::EnableInputs(bool enable) {
    for (const int id : kScanInputs)
        EnableDlgItem(id, enable);
}

void CHarvexDlg::showRunning(bool running) {
    if (running) {
        m_nElapsedSeconds = 0;
        m_nRecoveredFiles = 0;
        m_nPartialFiles = 0;
        SetDlgItemText(IDC_FILE_COUNT, L"0");
        SetDlgItemText(IDC_ELAPSED_TIME, widen(elapsedTimeText(0)));
        ShowWindow(GetDlgItem(IDC_DETECTING), SW_SHOW);
        ShowWindow(GetDlgItem(IDC_ELAPSED_TIME), SW_SHOW);
        SetTimer(hwnd(), IDT_ELAPSED, 1000, nullptr);
    } else {
        KillTimer(hwnd(), IDT_ELAPSED);
        ShowWindow(GetDlgItem(IDC_DETECTING), SW_HIDE);
        m_progress.SetPos(0);
    }
    EnableInputs(!running);
}

bool CHarvexDlg::startWorker(std::string& whyNot) {
    m_bStopRequested.store(false);
    m_hScanThread = CreateThread(nullptr, 0, ScanThreadProc, this, 0, nullptr);
    if (m_hScanThread)
        return true;
    whyNot = systemErrorText(GetLastError());
    return false;
}

void CHarvexDlg::showError(const std::string& text) {
    widgets::ShowError(hwnd(), widen(text), widen(messages::kProductName));
}

DWORD WINAPI CHarvexDlg::ScanThreadProc(LPVOID window) {
    auto* self = static_cast<CHarvexDlg*>(window);
    clearLastErrorText();
    const int32_t result = self->RunRecovery();
    // The window may be gone (closed during the scan): the message is then dropped.
    PostMessageW(self->m_job.window, WM_SCAN_FINISHED, static_cast<WPARAM>(result), 0);
    return 0;
}

int32_t CHarvexDlg::RunRecovery() {
    SearchSpace& space = m_scanContext.searchSpace;
    if (space.empty())
        initFromPartition(space, *m_job.medium, m_job.partition.offset, m_job.partition.size);
    WindowScanObserver observer(m_job.window, m_job.progress, m_bStopRequested, m_nPartialFiles);
    RecoveryAids aids;
    aids.prepare(*m_job.medium, m_job.partition.offset, m_job.partition.size, false);
    return runScan(*m_job.medium, m_job.destination, m_job.families, space, aids.aids(), observer,
                   m_nRecoveredFiles);
}

void CHarvexDlg::OnScanFinished(int32_t result) {
    if (!m_hScanThread)
        return;
    WaitForSingleObject(m_hScanThread, kStopPatienceMs);
    CloseHandle(m_hScanThread);
    m_hScanThread = nullptr;
    showRunning(false);
    RefreshDiskList();
    const auto outcome = scanOutcome(result, m_nRecoveredFiles, lastErrorText(), m_nPartialFiles);
    if (!outcome)
        return;
    if (outcome->failed) {
        widgets::ShowError(hwnd(), widen(outcome->text), widen(messages::kProductName));
    } else {
        widgets::ShowInformation(hwnd(), widen(outcome->text), widen(messages::kProductName));
    }
}

void CHarvexDlg::OnOK() {
    // The window has no default action: Enter changes nothing, least of all during a scan.
}

void CHarvexDlg::OnCancel() {
    if (m_hScanThread)
        m_bStopRequested.store(true);
    EndDialog(IDCANCEL);
}

void CHarvexDlg::WaitForScanToEnd() {
    if (!m_hScanThread)
        return;
    m_bStopRequested.store(true);
    const ULONGLONG deadline = GetTickCount64() + kStopPatienceMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            break;
        const DWORD woke = MsgWaitForMultipleObjects(1, &m_hScanThread, FALSE,
                                                     static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            CloseHandle(m_hScanThread);
            m_hScanThread = nullptr;
            return;
        }
        // Messages the worker sends wait for this thread: let them through.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    // A read that never returns: end the program with the scan.
    ExitProcess(0);
}

}  // namespace salvora

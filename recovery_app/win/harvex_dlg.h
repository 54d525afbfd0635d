// The main window of salvora.exe: the disks, the partitions of the chosen
// disk, and one recovery at a time on a worker thread, with its progress,
// file count and elapsed time.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "recovery_app/core/destination_check.h"
#include "recovery_app/core/scan_context.h"
#include "recovery_app/core/scan_start.h"
#include "recovery_app/core/start_arguments.h"
#include "recovery_app/win/picture_controls.h"
#include "widgets/dialog_base.h"
#include "widgets/gradient_progress_ctrl.h"

namespace salvora {

// Posted by the worker when its scan has ended; wParam is runScan's result.
constexpr UINT WM_SCAN_FINISHED = WM_APP + 1;
// Sent by the worker once, when the bar first shows progress.
constexpr UINT WM_SCAN_PROGRESS_SHOWN = WM_APP + 2;

class CHarvexDlg : public widgets::DialogBase, private RecoveryWindow {
  public:
    // A window over the application's `context`; `images` are listed as
    // disks after the physical drives.
    CHarvexDlg(ScanContext& context, const std::vector<ImageArgument>& images);
    ~CHarvexDlg() override;

    // Lists the disks again (and forgets the partitions shown).
    void RefreshDiskList();

    // After DoModal: a window closed during a scan asked the scan to stop
    // (the file being written is removed, files saved stay); this waits for
    // the worker to end, and ends the process when it does not within ten
    // seconds (a read that never returns).
    void WaitForScanToEnd();

  protected:
    BOOL OnInitDialog() override;
    // Enter: does nothing (the window has no default button to press).
    void OnOK() override;
    // Exit: allowed during a scan, which is then asked to stop.
    void OnCancel() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  private:
    // The inputs of one recovery, taken on the window's thread before the
    // worker starts; they do not change while it runs.
    struct ScanJob {
        MediaReader* medium = nullptr;
        PartitionRecord partition;
        std::string destination;  // UTF-8, ends with a backslash
        EnabledFamilies families;
        HWND window = nullptr;  // this window and its bar, for the worker's messages
        HWND progress = nullptr;
    };

    // Set-up.
    void SetCaptionFromVersion();
    void AttachPictures();
    void SetUpProgress();
    void SetUpLists();

    // Painting and labels.
    void OnPaint();
    INT_PTR OnLabelColour(HDC dc, HWND control);

    // Lists.
    // Empties the partition list, keeping its columns.
    void SetPartitionColumns();
    void ListPartitions();
    INT_PTR OnNotify(const NMHDR& header);
    int SelectedRow(int listId) const;

    // Buttons.
    void OnRecover();
    bool PrepareJob(int partitionRow);
    void OnSettings();
    void OnAbout();
    void OnFormatTool();
    void OnProtectionTool();
    void RunCompanion(const std::wstring& program);

    // The scan.
    void showRunning(bool running) override;
    bool startWorker(std::string& whyNot) override;
    void showError(const std::string& text) override;
    void EnableInputs(bool enable);
    void OnElapsedTimer();
    void OnScanFinished(int32_t result);
    static DWORD WINAPI ScanThreadProc(LPVOID window);
    int32_t RunRecovery();

    ScanContext& m_scanContext;
    const std::vector<ImageArgument>& m_images;
    ScanJob m_job;

    HWND m_listDisk = nullptr;
    HWND m_listPartition = nullptr;
    widgets::CGradientProgressCtrl m_progress;
    HICON m_hIcon = nullptr;
    HANDLE m_hScanThread = nullptr;
    ResourcePicture m_bmpBackground;
    UINT m_uQueryCancelAutoPlay = 0;
    std::wstring m_szSavedPath;
    uint32_t m_nElapsedSeconds = 0;
    uint32_t m_nRecoveredFiles = 0;  // the engine's saved-file counter while a scan runs
    int32_t m_nFileGroup = -1;
    int32_t m_nDiskType = 2;
    DiskLetters m_szDiskLetters;
    std::atomic<bool> m_bStopRequested{false};
    bool m_bImageFailuresShown = false;
    HFONT m_hLabelFont = nullptr;

    CPictureStatic m_logo;
    CPictureStatic m_banner;
    CPictureStatic m_countCaption;
    CPictureStatic m_elapsedCaption;
    std::array<CBitmapButton, 7> m_buttons;
};

}  // namespace salvora

// The shell's folder browser, opened on an initial folder, showing the
// current selection (shortened) in its status line while the user browses,
// and giving back the chosen folder's file-system path.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace salvora::widgets {

class CFolderDialog {
  public:
    // `initialFolder` may be null (none); `flags` are BIF_ flags added to the
    // status-text flag; `parent` owns the browser (null: no owner).
    explicit CFolderDialog(const wchar_t* initialFolder = nullptr, UINT flags = 0, HWND parent = nullptr);
    virtual ~CFolderDialog() = default;
    CFolderDialog(const CFolderDialog&) = delete;
    CFolderDialog& operator=(const CFolderDialog&) = delete;

    // Runs the browser. IDOK when a folder with a file-system path was
    // chosen (GetFolderPath gives it); IDCANCEL otherwise, and the folder
    // path is then the initial folder again. COM must be started.
    virtual INT_PTR DoModal();
    const std::wstring& GetFolderPath() const { return m_strSelectedFolder; }
    // The browser's window while it is open, else the last one it had.
    HWND GetBrowserWindow() const { return m_hWnd; }

  protected:
    // When the browser has opened: selects the initial folder.
    virtual void OnInitialized();
    // When the selection changed to `item`: records its path and shows it.
    virtual void OnSelChanged(PCIDLIST_ABSOLUTE item);
    // Every notification of the browser.
    virtual INT OnBrowseNotify(HWND window, UINT message, LPARAM parameter);

    // Sets the browser's status line to `text`, shortened to 35 characters and "...".
    void SetStatusText(const std::wstring& text) const;

  private:
    static int CALLBACK BrowseCallbackProc(HWND window, UINT message, LPARAM parameter, LPARAM data);

    BROWSEINFOW m_bi{};
    std::wstring m_strInitialFolder;
    std::wstring m_strSelectedFolder;
    wchar_t m_szDisplayName[MAX_PATH] = {};
    wchar_t m_szPath[MAX_PATH] = {};
    HWND m_hWnd = nullptr;
};

}  // namespace salvora::widgets

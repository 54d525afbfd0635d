// Controls of another process whose messages carry pointers (list views):
// the structures are copied into that process's memory and back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace salvora::gui_test {

class RemoteListView {
  public:
    // List view `id` of `dialog`, a window of process `process`.
    RemoteListView(HWND dialog, int id, DWORD process);
    ~RemoteListView();
    RemoteListView(const RemoteListView&) = delete;
    RemoteListView& operator=(const RemoteListView&) = delete;

    int rowCount() const;
    std::wstring cell(int row, int column) const;
    // The cells of every row.
    std::vector<std::vector<std::wstring>> rows(int columns) const;
    // The first row whose first column is `text`, or -1.
    int findRow(const std::wstring& text) const;
    // Selects (and focuses) `row` as a click would.
    bool select(int row) const;
    int selectedRow() const;

  private:
    HWND list_;
    HANDLE process_ = nullptr;
    void* remote_ = nullptr;  // an LVITEMW followed by a text buffer, in the other process
};

// Sends `message` to `window` of process `process` with `text` copied into
// that process as its lParam (for example BFFM_SETSELECTIONW to a folder
// browser). Returns the answer, or -1 when the text could not be copied or
// the window did not answer.
LRESULT sendWithRemoteText(HWND window, DWORD process, UINT message, WPARAM wParam, const std::wstring& text);

}  // namespace salvora::gui_test

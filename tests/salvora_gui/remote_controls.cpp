#include "remote_controls.h"

#include <commctrl.h>

namespace salvora::gui_test {

namespace {
constexpr size_t kTextUnits = 512;
constexpr size_t kRemoteSize = sizeof(LVITEMW) + kTextUnits * sizeof(wchar_t);
constexpr UINT kAnswerMs = 3000;

LRESULT sendTimed(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerMs, &result))
        return -1;
    return static_cast<LRESULT>(result);
}
}  // namespace

RemoteListView::RemoteListView(HWND dialog, int id, DWORD process) : list_(GetDlgItem(dialog, id)) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (process_)
        remote_ = VirtualAllocEx(process_, nullptr, kRemoteSize, MEM_COMMIT, PAGE_READWRITE);
}

RemoteListView::~RemoteListView() {
    if (remote_)
        VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    if (process_)
        CloseHandle(process_);
}

int RemoteListView::rowCount() const {
    return static_cast<int>(sendTimed(list_, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring RemoteListView::cell(int row, int column) const {
    if (!remote_)
        return {};
    auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<BYTE*>(remote_) + sizeof(LVITEMW));
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = remoteText;
    item.cchTextMax = kTextUnits;
    if (!WriteProcessMemory(process_, remote_, &item, sizeof item, nullptr))
        return {};
    const LRESULT length =
        sendTimed(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote_));
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length), L'\0');
    if (!ReadProcessMemory(process_, remoteText, text.data(), text.size() * sizeof(wchar_t), nullptr))
        return {};
    return text;
}

std::vector<std::vector<std::wstring>> RemoteListView::rows(int columns) const {
    std::vector<std::vector<std::wstring>> all;
    for (int row = 0; row < rowCount(); ++row) {
        std::vector<std::wstring> cells;
        for (int column = 0; column < columns; ++column)
            cells.push_back(cell(row, column));
        all.push_back(cells);
    }
    return all;
}

int RemoteListView::findRow(const std::wstring& text) const {
    for (int row = 0; row < rowCount(); ++row) {
        if (cell(row, 0) == text)
            return row;
    }
    return -1;
}

bool RemoteListView::select(int row) const {
    if (!remote_)
        return false;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (!WriteProcessMemory(process_, remote_, &item, sizeof item, nullptr))
        return false;
    return sendTimed(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote_)) ==
           TRUE;
}

int RemoteListView::selectedRow() const {
    return static_cast<int>(sendTimed(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

LRESULT sendWithRemoteText(HWND window, DWORD process, UINT message, WPARAM wParam,
                           const std::wstring& text) {
    const HANDLE handle =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (!handle)
        return -1;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(handle, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    LRESULT result = -1;
    if (remote && WriteProcessMemory(handle, remote, text.c_str(), bytes, nullptr)) {
        result = sendTimed(window, message, wParam, reinterpret_cast<LPARAM>(remote));
    }
    if (remote)
        VirtualFreeEx(handle, remote, 0, MEM_RELEASE);
    CloseHandle(handle);
    return result;
}

}  // namespace salvora::gui_test

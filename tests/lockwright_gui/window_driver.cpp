#include "window_driver.h"

#include <cstring>
#include <vector>

namespace salvora::lockwright::test {

namespace {

constexpr UINT kMessageTimeoutMs = 2000;
constexpr int kPanelFrame = 1040;
constexpr int kMessageBoxText = 0xFFFF;

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring windowsPath(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

// The process's visible top-level dialog windows with `caption`.
HWND findDialog(DWORD pid, const std::wstring& caption) {
    struct Search {
        DWORD pid;
        const std::wstring* caption;
        HWND found;
    } search{pid, &caption, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->pid || !IsWindowVisible(window) || className(window) != L"#32770")
                return TRUE;
            if (textOf(window) != *s->caption)
                return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(50);
    }
}

std::wstring textOf(HWND window) {
    if (!window)
        return {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length))
        return {};
    std::vector<wchar_t> text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied)) {
        return {};
    }
    return std::wstring(text.data(), copied);
}

bool visible(HWND window) {
    return window && IsWindowVisible(window);
}

bool enabled(HWND window) {
    return window && IsWindowEnabled(window);
}

bool selected(HWND button) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &state);
    return state == BST_CHECKED;
}

void setText(HWND field, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                        kMessageTimeoutMs, &ignored);
}

void type(HWND field, const std::wstring& text) {
    for (wchar_t c : text) {
        const SHORT key = VkKeyScanW(c);
        const UINT virtualKey = key == -1 ? 0 : LOBYTE(key);
        PostMessageW(field, WM_CHAR, c, 1);
        PostMessageW(field, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001));
    }
}

bool paste(HWND field, const std::wstring& text) {
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool placed = false;
    if (memory) {
        std::memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!placed)
            GlobalFree(memory);
    }
    CloseClipboard();
    DWORD_PTR ignored = 0;
    return placed &&
           SendMessageTimeoutW(field, WM_PASTE, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored) != 0;
}

void pressEnter(HWND field) {
    PostMessageW(field, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(field, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001));
}

MessageBoxWindow waitForBox(DWORD pid, const std::wstring& caption, int timeoutMs) {
    MessageBoxWindow box;
    waitFor([&] { return (box.window = findDialog(pid, caption)) != nullptr; }, timeoutMs);
    if (box.window)
        box.text = textOf(GetDlgItem(box.window, kMessageBoxText));
    return box;
}

bool noBox(DWORD pid, const std::wstring& caption) {
    return findDialog(pid, caption) == nullptr;
}

bool answer(const MessageBoxWindow& box, int button) {
    if (!box.window)
        return false;
    PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return waitFor([&] { return !IsWindow(box.window); });
}

Lockwright::Lockwright(const std::wstring& statePath, bool expectWindow) {
    std::wstring commandLine =
        L"\"" + windowsPath(L"" LOCKWRIGHT_EXE) + L"\" --simulate \"" + statePath + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        return;
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    pid_ = started.dwProcessId;
    if (expectWindow)
        waitFor([&] { return (window_ = findDialog(pid_, L"Cardwarden")) != nullptr; }, 15000);
}

Lockwright::~Lockwright() {
    if (!process_)
        return;
    if (running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

HWND Lockwright::panel() const {
    return FindWindowExW(control(kPanelFrame), nullptr, L"#32770", nullptr);
}

void Lockwright::click(int id) const {
    PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control(id)));
}

void Lockwright::clickPanel(int id) const {
    const HWND target = panel();
    PostMessageW(target, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(target, id)));
}

void Lockwright::closeBox() const {
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

bool Lockwright::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

int Lockwright::waitForExit(int timeoutMs) {
    if (!process_ || WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

}  // namespace salvora::lockwright::test

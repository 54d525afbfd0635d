#include "program_driver.h"

#include <objbase.h>
// After objbase.h, which it needs.
#include <gdiplus.h>

#include <memory>

namespace salvora::gui_test {

namespace {

constexpr UINT kAnswerMs = 3000;  // a window that does not answer a message in this time is stuck

struct DialogSearch {
    DWORD process;
    std::function<bool(HWND)> wanted;
    std::vector<HWND> found;
};

BOOL CALLBACK collectDialog(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<DialogSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process == search.process && IsWindowVisible(window) && std::wstring(className) == L"#32770" &&
        (!search.wanted || search.wanted(window))) {
        search.found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> findDialogs(DWORD process, std::function<bool(HWND)> wanted) {
    DialogSearch search{process, std::move(wanted), {}};
    EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool pngEncoder(CLSID& encoder) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    std::vector<BYTE> storage(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

bool waitFor(const std::function<bool()>& done, int milliseconds) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    while (!done()) {
        if (GetTickCount64() >= end)
            return done();
        Sleep(20);
    }
    return true;
}

Program::Program(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingFolder) {
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Wine now and then refuses a start while it is busy with another one.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info)) {
            break;
        }
        startError_ = GetLastError();
        Sleep(500);
    }
    if (!info.hProcess)
        return;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
}

Program::~Program() {
    if (!process_)
        return;
    if (running())
        terminate();
    CloseHandle(process_);
}

bool Program::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Program::waitForExit(int milliseconds) const {
    return !process_ || WaitForSingleObject(process_, static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0;
}

DWORD Program::exitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_)
        GetExitCodeProcess(process_, &code);
    return code;
}

void Program::terminate() {
    if (!process_)
        return;
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
}

HWND Program::waitForDialog(const std::wstring& title, int milliseconds) const {
    HWND found = nullptr;
    waitFor(
        [&] {
            const auto dialogs = findDialogs(id_, [&](HWND window) { return windowText(window) == title; });
            found = dialogs.empty() ? nullptr : dialogs.front();
            return found != nullptr;
        },
        milliseconds);
    return found;
}

HWND Program::waitForDialogWith(int controlId, int milliseconds) const {
    HWND found = nullptr;
    waitFor(
        [&] {
            const auto dialogs = findDialogs(id_, [&](HWND window) { return GetDlgItem(window, controlId); });
            found = dialogs.empty() ? nullptr : dialogs.front();
            return found != nullptr;
        },
        milliseconds);
    return found;
}

std::vector<HWND> Program::dialogs() const {
    return findDialogs(id_, nullptr);
}

std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!window ||
        !SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kAnswerMs, &copied)) {
        return {};
    }
    text.resize(copied);
    return text;
}

std::wstring itemText(HWND dialog, int id) {
    return windowText(GetDlgItem(dialog, id));
}

void click(HWND dialog, int id) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool itemEnabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool itemVisible(HWND dialog, int id) {
    return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE;
}

bool itemChecked(HWND dialog, int id) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &state);
    return state == BST_CHECKED;
}

std::wstring messageBoxText(HWND box) {
    return itemText(box, 0xFFFF);
}

void answer(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool saveScreenshot(HWND window, const std::wstring& path) {
    RECT frame;
    if (!GetWindowRect(window, &frame))
        return false;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    bool saved = false;
    CLSID encoder;
    if (pngEncoder(encoder)) {
        Gdiplus::Bitmap picture(bitmap, nullptr);
        saved = picture.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    return saved;
}

}  // namespace salvora::gui_test

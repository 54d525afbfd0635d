// Stands in for a companion program in the window test: writes the command
// line it was given into companion-ran.txt in its current folder, stays a
// moment (so the test sees the window that started it hidden) and ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const HANDLE file = CreateFileW(L"companion-ran.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const wchar_t* commandLine = GetCommandLineW();
        DWORD written = 0;
        WriteFile(file, commandLine, static_cast<DWORD>(lstrlenW(commandLine) * sizeof(wchar_t)), &written,
                  nullptr);
        CloseHandle(file);
    }
    Sleep(1500);
    return 0;
}

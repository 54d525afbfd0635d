#include <windows.h>

#include "cardsec/state_file_lock.h"

namespace salvora::cardsec {

namespace {
constexpr DWORD kRetryMs = 20;
}  // namespace

StateFileLock::StateFileLock(const std::string& path) {
    lock(path + ".lock", true, 0);
}

StateFileLock::StateFileLock(const std::string& lockFile, uint32_t waitMs) {
    lock(lockFile, false, waitMs);
}

void StateFileLock::lock(const std::string& lockFile, bool wait, uint32_t waitMs) {
    const HANDLE file = CreateFileA(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    handle_ = reinterpret_cast<long long>(file);
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    for (;;) {
        OVERLAPPED whole{};
        held_ = LockFileEx(file, flags, 0, MAXDWORD, MAXDWORD, &whole) != 0;
        if (held_ || wait || GetTickCount64() >= deadline)
            return;
        Sleep(kRetryMs);
    }
}

StateFileLock::~StateFileLock() {
    if (handle_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing releases the lock
}

}  // namespace salvora::cardsec

#include <windows.h>

#include "cardsec/state_file_lock.h"

namespace salvora::cardsec {

StateFileLock::StateFileLock(const std::string& path) {
    const HANDLE file = CreateFileA((path + ".lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    handle_ = reinterpret_cast<long long>(file);
    OVERLAPPED whole{};
    held_ = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
}

StateFileLock::~StateFileLock() {
    if (handle_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing releases the lock
}

}  // namespace salvora::cardsec

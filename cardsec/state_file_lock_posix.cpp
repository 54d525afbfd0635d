#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cardsec/state_file_lock.h"

namespace salvora::cardsec {

namespace {
constexpr int kRetryMs = 5;
}  // namespace

StateFileLock::StateFileLock(const std::string& path) {
    lock(path + ".lock", true, 0);
}

StateFileLock::StateFileLock(const std::string& lockFile, uint32_t waitMs) {
    lock(lockFile, false, waitMs);
}

void StateFileLock::lock(const std::string& lockFile, bool wait, uint32_t waitMs) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    handle_ = fd;
    if (wait) {
        held_ = ::flock(fd, LOCK_EX) == 0;
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!(held_ = ::flock(fd, LOCK_EX | LOCK_NB) == 0) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
}

StateFileLock::~StateFileLock() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));  // closing releases the lock
}

}  // namespace salvora::cardsec

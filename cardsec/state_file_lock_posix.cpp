#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "cardsec/state_file_lock.h"

namespace salvora::cardsec {

StateFileLock::StateFileLock(const std::string& path) {
    const int fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    handle_ = fd;
    held_ = ::flock(fd, LOCK_EX) == 0;
}

StateFileLock::~StateFileLock() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));  // closing releases the lock
}

}  // namespace salvora::cardsec

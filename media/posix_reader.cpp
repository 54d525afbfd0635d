#include "media/posix_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace salvora {

void PosixReader::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

int32_t PosixReader::deviceRead(void* buffer, uint32_t count, uint64_t offset) {
    if (fd_ < 0)
        return 0;
    if (offset > static_cast<uint64_t>(INT64_MAX) - count)
        return -1;
    auto* bytes = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, bytes + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (done == 0 && offset < size)
                recordReadFailure(errno, std::strerror(errno));
            break;
        }
        if (n == 0) {
            // The medium ends before the size it reported when opened: it was
            // removed or shrunk under us.
            if (done == 0 && offset < size)
                recordReadFailure(EIO, "The medium ended before its reported size.");
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (done < count)
        std::memset(bytes + done, 0, count - done);
    return static_cast<int32_t>(done);
}

ImageKind imageKindOf(mode_t mode) {
    if (S_ISREG(mode))
        return ImageKind::kRegularFile;
    if (S_ISBLK(mode))
        return ImageKind::kBlockDevice;
    if (S_ISDIR(mode))
        return ImageKind::kFolder;
    if (S_ISFIFO(mode))
        return ImageKind::kPipe;
    if (S_ISCHR(mode))
        return ImageKind::kCharacterDevice;
    if (S_ISSOCK(mode))
        return ImageKind::kSocket;
    return ImageKind::kOther;
}

}  // namespace salvora

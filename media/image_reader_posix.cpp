#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "media/image_kind.h"
#include "media/image_reader.h"
#include "media/posix_reader.h"

namespace salvora {

namespace {

std::string cannotOpen(const std::string& path, int error) {
    return "Cannot open the image " + path + ": " + std::strerror(error) + ".";
}

// Opens `path` for reading without waiting: a pipe that nobody writes would
// block an ordinary open for ever. Returns -1 with `whyNot` set when it cannot
// be opened or is not a regular file or block device.
int openImageFile(const std::string& path, std::string& whyNot) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        whyNot = cannotOpen(path, errno);
        return -1;
    }
    if (whyNot = notAnImageText(path, imageKindOf(info.st_mode)); !whyNot.empty())
        return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        whyNot = cannotOpen(path, errno);
        return -1;
    }
    // The path may have been replaced between the two looks.
    if (::fstat(fd, &info) != 0 || !(whyNot = notAnImageText(path, imageKindOf(info.st_mode))).empty()) {
        if (whyNot.empty())
            whyNot = cannotOpen(path, errno);
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

uint64_t lengthOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        return static_cast<uint64_t>(info.st_size);
    const off_t end = ::lseek(fd, 0, SEEK_END);
    return end > 0 ? static_cast<uint64_t>(end) : 0;
}

}  // namespace

std::unique_ptr<MediaReader> openRawImage(const std::string& path, std::string& whyNot) {
    const int fd = openImageFile(path, whyNot);
    if (fd < 0)
        return nullptr;
    const uint64_t length = lengthOf(fd);
    if (length == 0) {
        ::close(fd);
        whyNot = "The image " + path + " is empty: there is nothing to recover from it.";
        return nullptr;
    }
    auto reader = std::make_unique<PosixReader>(fd);
    reader->devicePath = path;
    reader->sectorSize = 512;
    reader->size = length;
    reader->openFlags = kDefaultOpenFlags;
    setFlatGeometry(*reader);
    return reader;
}

}  // namespace salvora

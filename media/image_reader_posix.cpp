#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "media/image_reader.h"
#include "media/posix_reader.h"

namespace salvora {

std::unique_ptr<MediaReader> openRawImage(const std::string& path, std::string& whyNot) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        whyNot = "Cannot open the image " + path + ": " + std::strerror(errno) + ".";
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        whyNot = "The image " + path + " is a folder, not a disk image file.";
        return nullptr;
    }
    uint64_t length = static_cast<uint64_t>(info.st_size);
    if (!S_ISREG(info.st_mode)) {
        const off_t end = ::lseek(fd, 0, SEEK_END);
        length = end > 0 ? static_cast<uint64_t>(end) : 0;
    }
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

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "media/device_reader.h"
#include "media/posix_reader.h"

namespace salvora {

namespace {

uint32_t probeSectorSize(int fd) {
    uint8_t buffer[4096];
    for (uint32_t candidate : {512u, 1024u, 2048u, 4096u}) {
        if (::read(fd, buffer, candidate) == static_cast<ssize_t>(candidate))
            return candidate;
    }
    return 512;
}

uint32_t sectorSizeOf(int fd) {
    int size = 0;
    if (::ioctl(fd, BLKSSZGET, &size) == 0 && size > 0)
        return static_cast<uint32_t>(size);
    return probeSectorSize(fd);
}

void readGeometry(int fd, MediaReader& reader) {
    struct hd_geometry geometry {};
    if (::ioctl(fd, HDIO_GETGEO, &geometry) == 0 && geometry.sectors != 0) {
        reader.cylinders = geometry.cylinders;
        reader.headsPerCylinder = geometry.heads ? geometry.heads : 1;
        reader.sectorsPerTrack = geometry.sectors;
        return;
    }
    reader.cylinders = 0;
    reader.headsPerCylinder = 1;
    reader.sectorsPerTrack = 1;
}

uint64_t reportedSizeOf(int fd) {
    uint64_t bytes = 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) == 0 && bytes != 0)
        return bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        return static_cast<uint64_t>(info.st_size);
    const off_t end = ::lseek(fd, 0, SEEK_END);
    return end > 0 ? static_cast<uint64_t>(end) : 0;
}

OpenFailure openFailureOf(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            // Administrator rights would help only a user who lacks them.
            return ::geteuid() != 0 ? OpenFailure::kNoRights : OpenFailure::kOther;
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return OpenFailure::kNotFound;
        case ENOMEDIUM:
            return OpenFailure::kNoMedium;
        default:
            return OpenFailure::kOther;
    }
}

std::string openFailureText(const std::string& devicePath, int error, OpenFailure kind) {
    if (kind == OpenFailure::kNoRights) {
        return "Reading " + devicePath + " needs administrator rights (run as root).";
    }
    if (error == EACCES || error == EPERM) {
        return "The system does not let " + devicePath + " be read, even with administrator rights (" +
               std::strerror(error) + ").";
    }
    return "Cannot open " + devicePath + ": " + std::strerror(error) + ".";
}

ImageKind kindOfOpenFile(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? imageKindOf(info.st_mode) : ImageKind::kOther;
}

}  // namespace

std::unique_ptr<MediaReader> openDevice(const std::string& devicePath, const PartitionScheme* partitionScheme,
                                        uint32_t flags, std::string* whyNot, OpenFailure* failure) {
    if (failure)
        *failure = OpenFailure::kNone;
    // Without waiting: a pipe named as a device would block an ordinary open.
    const int fd = ::open(devicePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        const OpenFailure kind = openFailureOf(error);
        if (kind == OpenFailure::kNoMedium) {
            // A card slot without a card: identified all the same (from sysfs),
            // so that the card reader is noticed with its slots empty.
            PosixReader unopened(-1);
            unopened.devicePath = devicePath;
            identifyDevice(unopened);
        }
        if (whyNot)
            *whyNot = openFailureText(devicePath, error, kind);
        if (failure)
            *failure = kind;
        return nullptr;
    }
    if (const ImageKind kind = kindOfOpenFile(fd); !isReadableImageKind(kind)) {
        ::close(fd);
        if (whyNot)
            *whyNot = devicePath + " is " + imageKindName(kind) + ", not a disk.";
        if (failure)
            *failure = OpenFailure::kOther;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto reader = std::make_unique<PosixReader>(fd);
    reader->devicePath = devicePath;
    reader->partitionScheme = partitionScheme;
    reader->openFlags = flags;
    reader->sectorSize = sectorSizeOf(fd);
    readGeometry(fd, *reader);
    const uint64_t reported = reportedSizeOf(fd);
    identifyDevice(*reader);
    reconcileGeometry(*reader, reported);
    if (reader->size == 0) {
        if (whyNot)
            *whyNot = devicePath + " reports a size of 0 (no medium inserted?).";
        if (failure)
            *failure = OpenFailure::kNoMedium;
        return nullptr;
    }
    return reader;
}

}  // namespace salvora

// The output folder on POSIX systems: one descriptor of the folder, and
// openat / renameat2 / unlinkat relative to it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "carve/output_folder.h"

namespace salvora {

namespace {

constexpr int kFileMode = 0666;  // less the umask, as any new file
// One system call moves at most this much; larger requests take several.
constexpr size_t kLargestTransfer = size_t{1} << 30;
// Buffered writes go out in pieces of this size. Linux 6.x page caches new
// file data in folios as large as the write; writes of 1 MiB and more were
// at times five to twenty times slower than smaller ones (direct
// compaction for the large folios), while 384 KiB keeps the call count
// below one per 256 KiB.
constexpr size_t kWriteCall = size_t{384} << 10;

int descriptorOf(intptr_t handle) {
    return static_cast<int>(handle);
}

// Renames without replacing on a file system without renameat2: a hard link
// under the new name (which fails when the name is taken), then the old name
// goes. A file system without hard links falls back to a check followed by a
// plain rename.
int renameByLink(int folder, const char* from, const char* to) {
    if (::linkat(folder, from, folder, to, 0) == 0)
        return ::unlinkat(folder, from, 0) == 0 ? 0 : errno;
    if (errno == EEXIST)
        return EEXIST;
    struct stat existing {};
    if (::fstatat(folder, to, &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(folder, from, folder, to) == 0 ? 0 : errno;
}

}  // namespace

int FolderFile::writeAt(const uint8_t* data, size_t length, uint64_t offset, size_t& written) {
    written = 0;
    while (written < length) {
        const size_t piece = std::min(length - written, kWriteCall);
        const ssize_t done =
            ::pwrite(descriptorOf(handle_), data + written, piece, static_cast<off_t>(offset + written));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (done == 0)
            return EIO;
        written += static_cast<size_t>(done);
    }
    return 0;
}

int64_t FolderFile::readAt(uint64_t offset, void* buffer, size_t length) {
    size_t got = 0;
    auto* bytes = static_cast<uint8_t*>(buffer);
    while (got < length) {
        const size_t piece = std::min(length - got, kLargestTransfer);
        const ssize_t done =
            ::pread(descriptorOf(handle_), bytes + got, piece, static_cast<off_t>(offset + got));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (done == 0)
            break;
        got += static_cast<size_t>(done);
    }
    return static_cast<int64_t>(got);
}

int FolderFile::truncate(uint64_t length) {
    if (length > static_cast<uint64_t>(INT64_MAX))
        return EFBIG;
    return ::ftruncate(descriptorOf(handle_), static_cast<off_t>(length)) == 0 ? 0 : errno;
}

int FolderFile::close() {
    if (handle_ == kNoHandle)
        return 0;
    // The descriptor is released whatever close() says; it is never closed twice.
    const int result = ::close(descriptorOf(std::exchange(handle_, kNoHandle)));
    return result == 0 || errno == EINTR ? 0 : errno;
}

OutputFolder::~OutputFolder() {
    if (handle_ != kNoHandle)
        ::close(descriptorOf(handle_));
}

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
    if (this != &other) {
        if (handle_ != kNoHandle)
            ::close(descriptorOf(handle_));
        path_ = std::move(other.path_);
        handle_ = std::exchange(other.handle_, kNoHandle);
        nextNumber_ = other.nextNumber_;
        spare_ = std::move(other.spare_);
    }
    return *this;
}

int OutputFolder::open(const std::string& path) {
    const int folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return errno;
    if (handle_ != kNoHandle)
        ::close(descriptorOf(handle_));
    handle_ = folder;
    path_ = path;
    nextNumber_ = numberAfter(names());
    return 0;
}

FolderFile OutputFolder::create(const std::string& name, int& error) {
    const int file = ::openat(descriptorOf(handle_), name.c_str(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
    if (file < 0) {
        error = errno;
        return FolderFile();
    }
    error = 0;
    return FolderFile(file);
}

int OutputFolder::rename(const std::string& from, const std::string& to) {
    const int folder = descriptorOf(handle_);
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    return renameByLink(folder, from.c_str(), to.c_str());
}

int OutputFolder::remove(const std::string& name) {
    return ::unlinkat(descriptorOf(handle_), name.c_str(), 0) == 0 ? 0 : errno;
}

std::vector<std::string> OutputFolder::names() const {
    std::vector<std::string> list;
    // A descriptor of its own: reading the folder moves the position.
    const int listing = ::openat(descriptorOf(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return list;
    DIR* folder = ::fdopendir(listing);
    if (!folder) {
        ::close(listing);
        return list;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            list.push_back(name);
    }
    ::closedir(folder);
    return list;
}

}  // namespace salvora
